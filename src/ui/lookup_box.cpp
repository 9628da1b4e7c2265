#include "ui/lookup_box.h"

#include "db/dataset.h"
#include "ui/messages.h"

namespace ui {

namespace {

bool sameKey(const QVariant& a, const QVariant& b)
{
    if (!a.isValid() || a.isNull() || !b.isValid() || b.isNull())
        return false;
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA), y = b.toDouble(&okB);
    if (okA && okB)
        return x == y;
    return a.toString() == b.toString();
}

} // namespace

LookupBox::LookupBox(QWidget* parent)
    : QComboBox(parent)
{
    setMaxVisibleItems(10);
    connect(this, &QComboBox::activated, this, [this](int index) { guarded([&] { chosen(index); }); });
}

void LookupBox::setList(db::Dataset* list, const QString& keyField, const QString& displayField)
{
    if (list_)
        disconnect(list_, nullptr, this, nullptr);
    list_ = list;
    keyField_ = keyField;
    displayField_ = displayField;
    if (list_) {
        connect(list_, &db::Dataset::opened, this, &LookupBox::rebuild);
        connect(list_, &db::Dataset::closed, this, &LookupBox::rebuild);
    }
    rebuild();
}

void LookupBox::rebuild()
{
    rebuilding_ = true;
    clear();
    int chosenIndex = -1;
    if (list_ && list_->isOpen()) {
        const int keyCol = list_->fieldIndex(keyField_);
        const int textCol = list_->fieldIndex(displayField_);
        for (int row = 0; row < list_->recordCount(); ++row) {
            const QVariant key = keyCol < 0 ? QVariant() : list_->valueAt(row, keyCol);
            addItem(textCol < 0 ? QString() : list_->valueAt(row, textCol).toString().trimmed(), key);
            if (chosenIndex < 0 && sameKey(key, key_))
                chosenIndex = row;
        }
        if (chosenIndex >= 0)
            shown_ = itemText(chosenIndex);
    }
    setCurrentIndex(chosenIndex);
    if (chosenIndex < 0 && !shown_.isEmpty() && (!list_ || !list_->isOpen())) {
        // a closed list still shows the last choice
        addItem(shown_, key_);
        setCurrentIndex(0);
    }
    rebuilding_ = false;
}

bool LookupBox::setDisplayText(const QString& text)
{
    const QString wanted = text.trimmed();
    const int index = wanted.isEmpty() || !list_ || !list_->isOpen() ? -1 : findText(wanted, Qt::MatchExactly);
    setKeyValue(index < 0 ? QVariant() : itemData(index));
    return index >= 0;
}

void LookupBox::setKeyValue(const QVariant& key)
{
    key_ = key;
    shown_.clear();
    rebuild();
    if (currentIndex() < 0)
        key_ = QVariant();
    else if (list_ && list_->isOpen())
        list_->setRecNo(currentIndex() + 1);
}

void LookupBox::chosen(int index)
{
    if (rebuilding_ || index < 0)
        return;
    key_ = itemData(index);
    shown_ = itemText(index);
    if (list_ && list_->isOpen() && index < list_->recordCount())
        list_->setRecNo(index + 1);
}

QString LookupBox::displayText() const
{
    return currentIndex() < 0 ? QString() : currentText();
}

} // namespace ui
