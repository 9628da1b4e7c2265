#include "app/command_line.h"

#include "journal/build_stamp.h"

#include <QString>

#include <cstdio>
#include <cstring>

#ifndef KESTA_VERSION
#error "KESTA_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace {

QString versionText(const char* compilerDate, const char* compilerTime)
{
    const int d = buildDateNumber(QString::fromLatin1(compilerDate));
    const int t = buildTimeNumber(QString::fromLatin1(compilerTime));
    // The same stamp the authorization window shows and the database compares, plus a readable date.
    return QStringLiteral("kesta_tabel %1\nсборка %2.%3 (%4.%5.%6 %7:%8:%9)\n")
        .arg(QStringLiteral(KESTA_VERSION))
        .arg(d)
        .arg(t)
        .arg(d % 100, 2, 10, QChar(u'0'))
        .arg(d / 100 % 100, 2, 10, QChar(u'0'))
        .arg(d / 10000)
        .arg(t / 3600, 2, 10, QChar(u'0'))
        .arg(t / 60 % 60, 2, 10, QChar(u'0'))
        .arg(t % 60, 2, 10, QChar(u'0'));
}

QString helpText()
{
    return QStringLiteral(
        "Использование: kesta_tabel [--service ИМЯ] [БАЗА СЕРВЕР]\n"
        "Журнал сдельных работ, справочники, табель учёта рабочего времени и отчёты.\n"
        "\n"
        "  kesta_tabel              встроенное подключение: база kesta_erp на сервере localhost\n"
        "  kesta_tabel БАЗА СЕРВЕР  база данных БАЗА на сервере СЕРВЕР (имя или адрес сервера либо папка\n"
        "                           с его сокетом); порт 5432, пользователь sys\n"
        "  Одна БАЗА без СЕРВЕРА подключение не меняет.\n"
        "\n"
        "  --service ИМЯ            личная учётная запись: подключение по службе ИМЯ из pg_service.conf\n"
        "                           (сервер, база, учётная запись, шифрование sslmode; пароль из ~/.pgpass);\n"
        "                           без этого ключа служба из PGSERVICE, иначе служба kesta, если она описана.\n"
        "                           БАЗА и СЕРВЕР, если заданы, заменяют базу и сервер службы.\n"
        "\n"
        "  --version                версия программы и отметка сборки\n"
        "  --help                   эта справка\n"
        "\n"
        "При запуске программа спрашивает код доступа.\n");
}

} // namespace

std::optional<int> answerInfoOption(int argc, const char* const* argv, const char* compilerDate,
                                    const char* compilerTime)
{
    for (int i = 1; i < argc; ++i) {
        QString text;
        if (std::strcmp(argv[i], "--version") == 0)
            text = versionText(compilerDate, compilerTime);
        else if (std::strcmp(argv[i], "--help") == 0)
            text = helpText();
        else
            continue;
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return std::nullopt;
}

StartArguments startArguments(const QStringList& arguments)
{
    StartArguments a;
    QStringList positional;
    const QString option = QStringLiteral("--service");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == option) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                a.error = QStringLiteral("После --service нужно имя службы подключения.");
                continue;
            }
            a.service = arguments[++i];
        } else if (arg.startsWith(option + u'=')) {
            a.service = arg.mid(option.size() + 1);
            if (a.service.isEmpty())
                a.error = QStringLiteral("После --service нужно имя службы подключения.");
        } else {
            positional.append(arg);
        }
    }
    a.arg1 = positional.value(0);
    a.arg2 = positional.value(1);
    return a;
}
