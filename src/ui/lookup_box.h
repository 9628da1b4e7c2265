// A lookup box: a drop-down list over a dataset that takes one field as its key and shows another. The chosen
// key survives closing and reopening the list; choosing an entry makes its row the dataset's current row.
#pragma once

#include <QComboBox>
#include <QPointer>
#include <QVariant>

namespace db {
class Dataset;
}

namespace ui {

class LookupBox : public QComboBox {
    Q_OBJECT
public:
    explicit LookupBox(QWidget* parent = nullptr);

    void setList(db::Dataset* list, const QString& keyField, const QString& displayField);
    db::Dataset* list() const { return list_; }

    // The chosen key; invalid when nothing is chosen.
    QVariant keyValue() const { return key_; }
    // Chooses the entry with this key (nothing shown when the list has none); moves the list to its row.
    void setKeyValue(const QVariant& key);
    // Chooses the first entry showing this text (blanks around it ignored); without one nothing is chosen.
    // Returns whether an entry was found.
    bool setDisplayText(const QString& text);
    // The shown text of the chosen entry, empty when nothing is chosen.
    QString displayText() const;

private:
    void rebuild();
    void chosen(int index);

    QPointer<db::Dataset> list_;
    QString keyField_;
    QString displayField_;
    QVariant key_;
    QString shown_; // the chosen entry's text, kept while the list is closed
    bool rebuilding_ = false;
};

} // namespace ui
