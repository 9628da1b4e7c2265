#include "db/db_error.h"
#include "db/filter_expression.h"

#include <QDate>
#include <QDateTime>
#include <QTest>

using db::ConversionError;
using db::FilterExpression;

namespace {

QVariant nullOf(QMetaType::Type type)
{
    return QVariant(QMetaType(type));
}

// Field names are matched regardless of letter case, as the dataset does.
FilterExpression::FieldLookup lookupIn(const QVariantMap& row)
{
    return [&row](const QString& name) -> QVariant {
        for (auto it = row.cbegin(); it != row.cend(); ++it) {
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return it.value();
        }
        return {};
    };
}

} // namespace

class TestFilterExpression : public QObject {
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void malformedTextThrows_data();
    void malformedTextThrows();
    void unknownFieldThrows_data();
    void unknownFieldThrows();
    void blankTextMatchesEverything_data();
    void blankTextMatchesEverything();
    void evaluatesManyRows();
};

void TestFilterExpression::matches_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QVariantMap>("row");
    QTest::addColumn<bool>("expected");

    const QDate march5(2024, 3, 5);
    const QDateTime march5Afternoon(march5, QTime(14, 30));

    // Numbers.
    QTest::newRow("int equal") << "naimen=0" << QVariantMap{{"naimen", 0}} << true;
    QTest::newRow("int not equal") << "naimen=0" << QVariantMap{{"naimen", 1}} << false;
    QTest::newRow("double field, integer literal") << "naimen=1" << QVariantMap{{"naimen", 1.0}} << true;
    QTest::newRow("zero equals 0.0") << "summa=0.0" << QVariantMap{{"summa", 0}} << true;
    QTest::newRow("long long id") << "id=12" << QVariantMap{{"id", qlonglong(12)}} << true;
    QTest::newRow("id is not a prefix") << "id=12" << QVariantMap{{"id", 120}} << false;
    QTest::newRow("o_id") << "o_id=7" << QVariantMap{{"o_id", 7}} << true;
    QTest::newRow("negative literal") << "id=-5" << QVariantMap{{"id", -5}} << true;
    QTest::newRow("50 parentheses deep") << QString(50, u'(') + "id=-5" + QString(50, u')') << QVariantMap{{"id", -5}}
                                         << true;
    QTest::newRow("decimal literal") << "summa=2.5" << QVariantMap{{"summa", 2.5}} << true;
    QTest::newRow("range") << "summa>2.49 and summa<2.51" << QVariantMap{{"summa", 2.5}} << true;
    QTest::newRow(">= on equal") << "id>=10" << QVariantMap{{"id", 10}} << true;
    QTest::newRow("> on equal") << "id>10" << QVariantMap{{"id", 10}} << false;
    QTest::newRow("<= above") << "id<=9" << QVariantMap{{"id", 10}} << false;
    QTest::newRow("< below") << "id<11" << QVariantMap{{"id", 10}} << true;
    QTest::newRow("!= on equal") << "id!=10" << QVariantMap{{"id", 10}} << false;
    QTest::newRow("<> on different") << "id<>11" << QVariantMap{{"id", 10}} << true;
    QTest::newRow("spaces around operator") << "  id  >=  10  " << QVariantMap{{"id", 10}} << true;
    // 2^53 + 1 is not representable as a double: comparing through double would call these equal.
    QTest::newRow("large integers exact")
        << "id=9007199254740993" << QVariantMap{{"id", qlonglong(9007199254740992)}} << false;
    QTest::newRow("number field, numeric text") << "id='12'" << QVariantMap{{"id", 12}} << true;
    // Numerically 10 > 9; as text "10" < "9".
    QTest::newRow("number field, text compared as number") << "id>'9'" << QVariantMap{{"id", 10}} << true;
    QTest::newRow("number field, decimal comma") << "summa='2,5'" << QVariantMap{{"summa", 2.5}} << true;
    QTest::newRow("number field, non-numeric text =") << "id='abc'" << QVariantMap{{"id", 12}} << false;
    QTest::newRow("number field, non-numeric text <>") << "id<>'abc'" << QVariantMap{{"id", 12}} << true;
    QTest::newRow("text field, number literal") << "kod=12" << QVariantMap{{"kod", "12"}} << true;
    QTest::newRow("text field with leading zero") << "kod=12" << QVariantMap{{"kod", "012"}} << true;
    QTest::newRow("text field compared as number") << "kod>9" << QVariantMap{{"kod", "10"}} << true;
    QTest::newRow("non-numeric text field") << "kod=12" << QVariantMap{{"kod", "12a"}} << false;
    QTest::newRow("bool true = 1") << "flag=1" << QVariantMap{{"flag", true}} << true;
    QTest::newRow("bool false = 0") << "flag=0" << QVariantMap{{"flag", false}} << true;
    QTest::newRow("bool true = 0") << "flag=0" << QVariantMap{{"flag", true}} << false;
    QTest::newRow("bool = 'true'") << "flag='True'" << QVariantMap{{"flag", true}} << true;

    // Text: letter case is ignored, Cyrillic included.
    QTest::newRow("cyrillic lower value") << "fio='Иванов'" << QVariantMap{{"fio", "иванов"}} << true;
    QTest::newRow("cyrillic upper literal") << "fio='ИВАНОВ'" << QVariantMap{{"fio", "Иванов"}} << true;
    QTest::newRow("text longer value") << "fio='Иванов'" << QVariantMap{{"fio", "Иванова"}} << false;
    QTest::newRow("text <>") << "fio<>'Петров'" << QVariantMap{{"fio", "Иванов"}} << true;
    QTest::newRow("text order") << "fio<'Петров'" << QVariantMap{{"fio", "Иванов"}} << true;
    // By code "Б" < "б"; without case they are equal.
    QTest::newRow("text order ignores case <") << "fio<'б'" << QVariantMap{{"fio", "Б"}} << false;
    QTest::newRow("text order ignores case <=") << "fio<='б'" << QVariantMap{{"fio", "Б"}} << true;
    QTest::newRow("latin case") << "marka='DM-10'" << QVariantMap{{"marka", "dm-10"}} << true;
    QTest::newRow("cyrillic field name") << "наим='болт'" << QVariantMap{{"наим", "Болт"}} << true;
    QTest::newRow("field name case") << "FIO='a'" << QVariantMap{{"fio", "a"}} << true;
    QTest::newRow("bracketed name") << "[fio]='a'" << QVariantMap{{"fio", "a"}} << true;
    QTest::newRow("bracketed name with blank") << "[имя поля]='x'" << QVariantMap{{"имя поля", "x"}} << true;

    // Fixed-width text is padded with blanks; leading blanks still count.
    QTest::newRow("padded value =") << "kod='АБ'" << QVariantMap{{"kod", "АБ   "}} << true;
    QTest::newRow("padded literal =") << "kod='АБ  '" << QVariantMap{{"kod", "АБ"}} << true;
    QTest::newRow("padded value <>") << "kod<>'АБ'" << QVariantMap{{"kod", "АБ   "}} << false;
    QTest::newRow("leading blank differs") << "kod='АБ'" << QVariantMap{{"kod", " АБ"}} << false;
    QTest::newRow("padded value like") << "kod like 'АБ'" << QVariantMap{{"kod", "АБ   "}} << true;
    QTest::newRow("padded value like %x") << "kod like '%Б'" << QVariantMap{{"kod", "АБ  "}} << true;

    // LIKE.
    QTest::newRow("like prefix") << "fio like 'Ив%'" << QVariantMap{{"fio", "Иванов"}} << true;
    QTest::newRow("like prefix upper value") << "fio like 'Ив%'" << QVariantMap{{"fio", "ИВАНОВ"}} << true;
    QTest::newRow("like prefix other name") << "fio like 'Ив%'" << QVariantMap{{"fio", "Сидоров"}} << false;
    QTest::newRow("like is anchored") << "fio like 'Ив%'" << QVariantMap{{"fio", "Петр Иванов"}} << false;
    QTest::newRow("like whole value") << "fio like 'Ив'" << QVariantMap{{"fio", "Иванов"}} << false;
    QTest::newRow("like marka") << "marka like 'дм-1%'" << QVariantMap{{"marka", "ДМ-10"}} << true;
    QTest::newRow("like marka other") << "marka like 'дм-1%'" << QVariantMap{{"marka", "ДМ-2"}} << false;
    QTest::newRow("like vid") << "vid like 'КРА%'" << QVariantMap{{"vid", "краска"}} << true;
    QTest::newRow("LIKE upper keyword") << "vid LIKE 'кра%'" << QVariantMap{{"vid", "Краска"}} << true;
    QTest::newRow("like infix") << "fio like '%ван%'" << QVariantMap{{"fio", "Иванов"}} << true;
    QTest::newRow("like suffix no") << "fio like '%a'" << QVariantMap{{"fio", "ab"}} << false;
    QTest::newRow("like suffix yes") << "fio like '%a'" << QVariantMap{{"fio", "ba"}} << true;
    QTest::newRow("like needs backtracking") << "kod like '%ab%ac'" << QVariantMap{{"kod", "abxabac"}} << true;
    QTest::newRow("like several %") << "kod like 'a%b%c'" << QVariantMap{{"kod", "aXbYbZc"}} << true;
    QTest::newRow("like several % no") << "kod like 'a%b%c'" << QVariantMap{{"kod", "aXcYb"}} << false;
    QTest::newRow("like _") << "fio like 'Ив_нов'" << QVariantMap{{"fio", "Иванов"}} << true;
    QTest::newRow("like _ needs one char") << "fio like 'Ив_нов'" << QVariantMap{{"fio", "Ивнов"}} << false;
    QTest::newRow("like __ too many") << "fio like 'Ив__нов'" << QVariantMap{{"fio", "Иванов"}} << false;
    QTest::newRow("like * alias") << "fio like 'Ив*'" << QVariantMap{{"fio", "Иванов"}} << true;
    QTest::newRow("like % on empty") << "kod like '%'" << QVariantMap{{"kod", ""}} << true;
    QTest::newRow("like dot is literal") << "kod like 'a.c'" << QVariantMap{{"kod", "abc"}} << false;
    QTest::newRow("like dot matches dot") << "kod like 'a.c'" << QVariantMap{{"kod", "a.c"}} << true;
    QTest::newRow("like brackets literal") << "kod like '[ab]%'" << QVariantMap{{"kod", "a"}} << false;
    QTest::newRow("like brackets match") << "kod like '[ab]%'" << QVariantMap{{"kod", "[ab]x"}} << true;
    QTest::newRow("like parens") << "kod like '(a)%'" << QVariantMap{{"kod", "(a)b"}} << true;
    QTest::newRow("like plus literal") << "kod like 'a+'" << QVariantMap{{"kod", "aa"}} << false;
    QTest::newRow("like anchors literal") << "kod like '^a$'" << QVariantMap{{"kod", "^a$"}} << true;
    QTest::newRow("like backslash literal") << "kod like 'a\\%'" << QVariantMap{{"kod", "a\\x"}} << true;
    QTest::newRow("like backslash does not escape") << "kod like 'a\\%'" << QVariantMap{{"kod", "a%"}} << false;
    QTest::newRow("like on int") << "id like '1%'" << QVariantMap{{"id", 123}} << true;
    QTest::newRow("like on int no") << "id like '1%'" << QVariantMap{{"id", 213}} << false;
    QTest::newRow("like on double") << "summa like '2.5'" << QVariantMap{{"summa", 2.5}} << true;
    QTest::newRow("like on date") << "data like '05.03%'" << QVariantMap{{"data", march5}} << true;
    QTest::newRow("not like no") << "fio not like 'Ив%'" << QVariantMap{{"fio", "Иванов"}} << false;
    QTest::newRow("not like yes") << "fio NOT LIKE 'Ив%'" << QVariantMap{{"fio", "Петров"}} << true;

    // A typed apostrophe arrives doubled inside the literal.
    QTest::newRow("doubled quote like") << "fio like 'O''Bri%'" << QVariantMap{{"fio", "O'Brien"}} << true;
    QTest::newRow("doubled quote like other") << "fio like 'O''Bri%'" << QVariantMap{{"fio", "OBrien"}} << false;
    QTest::newRow("doubled quote =") << "fio='O''Brien'" << QVariantMap{{"fio", "o'brien"}} << true;
    QTest::newRow("only a quote") << "fio=''''" << QVariantMap{{"fio", "'"}} << true;
    QTest::newRow("two quotes") << "fio='a''''b'" << QVariantMap{{"fio", "a''b"}} << true;
    QTest::newRow("empty literal") << "fio=''" << QVariantMap{{"fio", ""}} << true;
    QTest::newRow("keywords inside literal")
        << "fio='a and b or not c'" << QVariantMap{{"fio", "A AND B OR NOT C"}} << true;

    // Precedence: NOT binds tighter than AND, AND tighter than OR.
    const QVariantMap a1b0c0{{"a", 1}, {"b", 0}, {"c", 0}};
    const QVariantMap a0b1c0{{"a", 0}, {"b", 1}, {"c", 0}};
    const QVariantMap a0b1c1{{"a", 0}, {"b", 1}, {"c", 1}};
    const QVariantMap a1b1c0{{"a", 1}, {"b", 1}, {"c", 0}};
    QTest::newRow("or then and, left true") << "a=1 or b=1 and c=1" << a1b0c0 << true;
    QTest::newRow("or then and, right half") << "a=1 or b=1 and c=1" << a0b1c0 << false;
    QTest::newRow("and then or") << "b=1 and c=1 or a=1" << a1b0c0 << true;
    QTest::newRow("parens override") << "(a=1 or b=1) and c=1" << a1b0c0 << false;
    QTest::newRow("parens override, true") << "(a=1 or b=1) and c=1" << a0b1c1 << true;
    QTest::newRow("not binds to comparison") << "not a=1 and b=1" << a0b1c0 << true;
    QTest::newRow("not binds to comparison, false") << "not a=1 and b=1" << a1b1c0 << false;
    QTest::newRow("not over parens") << "not (a=1 and b=1)" << a1b0c0 << true;
    QTest::newRow("not over parens, false") << "not (a=1 and b=1)" << a1b1c0 << false;
    QTest::newRow("double not") << "not not a=1" << a1b0c0 << true;
    QTest::newRow("nested parens") << "((a=1))" << a1b0c0 << true;
    QTest::newRow("not over or") << "a=0 and not (b=1 or c=1)" << a1b0c0 << false;
    QTest::newRow("mixed case keywords") << "a=1 AnD b=0 oR c=5" << a1b0c0 << true;
    QTest::newRow("no blanks around parens") << "(a=1)and(b=0)" << a1b0c0 << true;
    QTest::newRow("three ands") << "a=1 and b=0 and c=1" << a1b0c0 << false;

    // Nulls behave as in SQL: no comparison matches them, not even its negation.
    const QVariant nullText = nullOf(QMetaType::QString);
    const QVariant nullInt = nullOf(QMetaType::Int);
    QTest::newRow("null =") << "fio='x'" << QVariantMap{{"fio", nullText}} << false;
    QTest::newRow("null <>") << "fio<>'x'" << QVariantMap{{"fio", nullText}} << false;
    QTest::newRow("not over null comparison") << "not fio='x'" << QVariantMap{{"fio", nullText}} << false;
    QTest::newRow("null like %") << "fio like '%'" << QVariantMap{{"fio", nullText}} << false;
    QTest::newRow("null not like") << "fio not like 'a%'" << QVariantMap{{"fio", nullText}} << false;
    QTest::newRow("null int =") << "id=0" << QVariantMap{{"id", nullInt}} << false;
    QTest::newRow("null int <>") << "id<>0" << QVariantMap{{"id", nullInt}} << false;
    QTest::newRow("is null") << "fio is null" << QVariantMap{{"fio", nullText}} << true;
    QTest::newRow("IS NULL on int") << "id IS NULL" << QVariantMap{{"id", nullInt}} << true;
    QTest::newRow("is null on empty text") << "fio is null" << QVariantMap{{"fio", ""}} << false;
    QTest::newRow("is not null on null") << "fio is not null" << QVariantMap{{"fio", nullText}} << false;
    QTest::newRow("is not null on value") << "fio Is Not Null" << QVariantMap{{"fio", "x"}} << true;
    QTest::newRow("not is null") << "not fio is null" << QVariantMap{{"fio", "x"}} << true;
    QTest::newRow("= null never matches") << "id=null" << QVariantMap{{"id", nullInt}} << false;
    QTest::newRow("= null on value") << "id=NULL" << QVariantMap{{"id", 1}} << false;
    QTest::newRow("<> null on value") << "id<>null" << QVariantMap{{"id", 1}} << false;
    QTest::newRow("unknown or true") << "fio='x' or id=1" << QVariantMap{{"fio", nullText}, {"id", 1}} << true;
    QTest::newRow("unknown and false, negated")
        << "not (fio='x' and id=2)" << QVariantMap{{"fio", nullText}, {"id", 1}} << true;
    QTest::newRow("unknown and true, negated")
        << "not (fio='x' and id=1)" << QVariantMap{{"fio", nullText}, {"id", 1}} << false;
    QTest::newRow("is null or") << "fio is null or id=2" << QVariantMap{{"fio", nullText}, {"id", 1}} << true;

    // Dates written as 'DD.MM.YYYY' compare as dates, not as text.
    QTest::newRow("date =") << "data='05.03.2024'" << QVariantMap{{"data", march5}} << true;
    QTest::newRow("date = other day") << "data='06.03.2024'" << QVariantMap{{"data", march5}} << false;
    QTest::newRow("date >") << "data>'04.03.2024'" << QVariantMap{{"data", march5}} << true;
    QTest::newRow("date < without zeros") << "data<'5.3.2024'" << QVariantMap{{"data", march5}} << false;
    QTest::newRow("date >=") << "data>='05.03.2024'" << QVariantMap{{"data", march5}} << true;
    // As text "31.12.2024" > "01.01.2025".
    QTest::newRow("date across years") << "data<'01.01.2025'" << QVariantMap{{"data", QDate(2024, 12, 31)}} << true;
    QTest::newRow("date across months") << "data>'28.02.2024'" << QVariantMap{{"data", march5}} << true;
    QTest::newRow("date iso literal") << "data='2024-03-05'" << QVariantMap{{"data", march5}} << true;
    QTest::newRow("date vs datetime literal") << "data<'05.03.2024 10:00'" << QVariantMap{{"data", march5}} << true;
    QTest::newRow("datetime = day") << "vremya='05.03.2024'" << QVariantMap{{"vremya", march5Afternoon}} << true;
    QTest::newRow("datetime < next day") << "vremya<'06.03.2024'" << QVariantMap{{"vremya", march5Afternoon}} << true;
    QTest::newRow("datetime > same day") << "vremya>'05.03.2024'" << QVariantMap{{"vremya", march5Afternoon}} << false;
    QTest::newRow("datetime > time") << "vremya>'05.03.2024 12:00'" << QVariantMap{{"vremya", march5Afternoon}} << true;
    QTest::newRow("datetime < time") << "vremya<'05.03.2024 12:00'" << QVariantMap{{"vremya", march5Afternoon}}
                                     << false;
    QTest::newRow("datetime = time with seconds")
        << "vremya='05.03.2024 14:30:00'" << QVariantMap{{"vremya", march5Afternoon}} << true;
    QTest::newRow("null date") << "data>'01.01.2000'" << QVariantMap{{"data", nullOf(QMetaType::QDate)}} << false;
    QTest::newRow("date vs non-date text") << "data='abc'" << QVariantMap{{"data", march5}} << false;
    QTest::newRow("date text stays text") << "kod='05.03.2024'" << QVariantMap{{"kod", "05.03.2024"}} << true;
}

void TestFilterExpression::matches()
{
    QFETCH(QString, filter);
    QFETCH(QVariantMap, row);
    QFETCH(bool, expected);

    const FilterExpression expression = FilterExpression::parse(filter);
    QVERIFY(!expression.isEmpty());
    QCOMPARE(expression.matches(lookupIn(row)), expected);
}

void TestFilterExpression::malformedTextThrows_data()
{
    QTest::addColumn<QString>("filter");
    // A piece of the message that points at the problem: the 1-based position or the offending text.
    QTest::addColumn<QString>("pointer");

    QTest::newRow("no value") << "naimen="
                              << "позиция 8";
    QTest::newRow("no field") << "=0"
                              << "позиция 1";
    QTest::newRow("no operator") << "naimen 0"
                                 << "позиция 8";
    QTest::newRow("double =") << "naimen==0"
                              << "позиция 8";
    QTest::newRow("unclosed quote") << "fio like 'abc"
                                    << "позиция 10";
    QTest::newRow("unclosed paren") << "(a=1"
                                    << "позиция 1";
    QTest::newRow("unclosed inner paren") << "a=1 or (b=2 and (c=3)"
                                          << "позиция 8";
    QTest::newRow("extra paren") << "a=1)"
                                 << "«)»";
    QTest::newRow("dangling and") << "a=1 and"
                                  << "закончилось";
    QTest::newRow("leading or") << "or a=1"
                                << "«or»";
    QTest::newRow("lone not") << "not"
                              << "закончилось";
    QTest::newRow("missing and") << "a=1 b=2"
                                 << "«b»";
    QTest::newRow("field on the right") << "a=b"
                                        << "«b»";
    QTest::newRow("double and") << "a=1 and and b=2"
                                << "позиция 9";
    QTest::newRow("unclosed bracket") << "[fio='x'"
                                      << "позиция 1";
    QTest::newRow("empty brackets") << "[]=1"
                                    << "позиция 1";
    QTest::newRow("lone !") << "a ! 1"
                            << "«!»";
    // Nesting past the limit is refused with a message instead of exhausting the stack.
    QTest::newRow("20000 parentheses deep") << QString(20000, u'(') + "a=1" + QString(20000, u')') << "вложенность";
    QTest::newRow("20000 nots") << QString("not ").repeated(20000) + "a=1"
                                << "вложенность";
    QTest::newRow("semicolon") << "a=1;"
                               << "«;»";
    QTest::newRow("at sign") << "a=@"
                             << "«@»";
    QTest::newRow("letters after number") << "a=12abc"
                                          << "12abc";
    QTest::newRow("two decimal points") << "a=1.2.3"
                                        << "1.2.3";
    QTest::newRow("bare minus") << "a=-"
                                << "позиция 3";
    QTest::newRow("is value") << "a is 1"
                              << "позиция 6";
    QTest::newRow("is not without null") << "a is not"
                                         << "закончилось";
    QTest::newRow("not =") << "a not = 1"
                           << "«=»";
    QTest::newRow("like without pattern") << "a like"
                                          << "закончилось";
    QTest::newRow("like field") << "a like b"
                                << "«b»";
    QTest::newRow("empty parens") << "()"
                                  << "«)»";
    QTest::newRow("keyword as bare name") << "and=1"
                                          << "«and»";
    QTest::newRow("double quotes") << "fio=\"x\""
                                   << "позиция 5";
    // The filter text is quoted whole in the message; its '%' signs must come through unchanged.
    QTest::newRow("percent digits in text") << "fio like '%1%2' and"
                                            << "fio like '%1%2' and";
}

void TestFilterExpression::malformedTextThrows()
{
    QFETCH(QString, filter);
    QFETCH(QString, pointer);

    try {
        FilterExpression::parse(filter);
        QFAIL("no error");
    } catch (const ConversionError& error) {
        QVERIFY2(error.text().startsWith("Ошибка в условии отбора"), qPrintable(error.text()));
        QVERIFY2(error.text().contains(pointer), qPrintable(error.text()));
    }
}

void TestFilterExpression::unknownFieldThrows_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("unknownName");

    QTest::newRow("plain") << "nosuch=1"
                           << "nosuch";
    QTest::newRow("like") << "nosuch like 'a%'"
                          << "nosuch";
    QTest::newRow("is null") << "nosuch is null"
                             << "nosuch";
    QTest::newRow("bracketed") << "[нет поля]='x'"
                               << "нет поля";
    // The branch is not needed to decide the row, but a misspelt name must not depend on the data.
    QTest::newRow("after decided or") << "id=1 or nosuch=1"
                                      << "nosuch";
    QTest::newRow("after decided and") << "id=0 and (nosuch=1 or fio='x')"
                                       << "nosuch";
}

void TestFilterExpression::unknownFieldThrows()
{
    QFETCH(QString, filter);
    QFETCH(QString, unknownName);

    const QVariantMap row{{"id", 1}, {"fio", "x"}};
    const FilterExpression expression = FilterExpression::parse(filter);
    try {
        expression.matches(lookupIn(row));
        QFAIL("no error");
    } catch (const ConversionError& error) {
        QVERIFY2(error.text().contains(unknownName), qPrintable(error.text()));
    }
}

void TestFilterExpression::blankTextMatchesEverything_data()
{
    QTest::addColumn<QString>("filter");

    QTest::newRow("empty") << "";
    QTest::newRow("null string") << QString();
    QTest::newRow("blanks") << "   ";
    QTest::newRow("tabs and newlines") << "\t\n ";
}

void TestFilterExpression::blankTextMatchesEverything()
{
    QFETCH(QString, filter);

    const FilterExpression expression = FilterExpression::parse(filter);
    QVERIFY(expression.isEmpty());
    // An empty filter must not even ask for fields.
    QVERIFY(expression.matches([](const QString&) -> QVariant { throw ConversionError("asked for a field"); }));
}

void TestFilterExpression::evaluatesManyRows()
{
    FilterExpression expression;
    QVERIFY(expression.isEmpty());
    {
        // The copy must stay usable after the parsed original is gone.
        const FilterExpression parsed =
            FilterExpression::parse("(fio like 'ив%' or fio like '%ОВА') and id >= 50000 and not naimen=1");
        expression = parsed;
    }
    QVERIFY(!expression.isEmpty());

    const QStringList names{"Иванов  ", "Петрова", "Сидоров", "ИВАНЕНКО"};
    constexpr int rowCount = 100000;
    int expected = 0;
    int matched = 0;
    QVariantMap row;
    const auto lookup = lookupIn(row);
    for (int i = 0; i < rowCount; ++i) {
        const int nameIndex = i % names.size();
        const int naimen = (i / 7) % 2;
        row.insert("fio", names[nameIndex]);
        row.insert("id", i);
        row.insert("naimen", naimen);
        if (expression.matches(lookup))
            ++matched;
        if (nameIndex != 2 && i >= 50000 && naimen != 1)
            ++expected;
    }
    QCOMPARE(matched, expected);
}

QTEST_GUILESS_MAIN(TestFilterExpression)

#include "tst_filter_expression.moc"
