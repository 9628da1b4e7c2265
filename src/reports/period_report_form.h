// What the reports window needs of each of the four report forms: the query, the title and the preview.
#pragma once

#include <QDialog>

namespace db {
class Dataset;
} // namespace db

class PeriodReportForm : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // The form's report query (t_Report, w_Report or i_Report).
    virtual db::Dataset* reportQuery() const = 0;
    // The caption of QRLabel1.
    virtual void setTitle(const QString& title) = 0;
    // Lays the report out over the open query and shows its preview until the user closes it.
    virtual void prepareAndPreview() = 0;
};
