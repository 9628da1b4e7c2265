// The window "Сводка за месяц": a month's output by day and shift, the earners, the acceptance and the figures
// beside the month before, read through the reports' connection and following the journal as other workstations
// change it; previewed, printed and saved as PDF as a report, and saved as a picture.
#pragma once

#include "summary/month_summary.h"
#include "ui/messages.h"

#include <QDialog>

class Database;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
namespace charts {
class ChartView;
}
namespace ui {
class LiveRefresh;
}

class SummaryWindow : public ui::Dialog {
    Q_OBJECT
public:
    explicit SummaryWindow(Database& database, QWidget* parent = nullptr);

    // Opens the window modally on the month of that day; `returnTo` is activated afterwards.
    void showMonth(const QDate& day, ui::Activatable* returnTo);

    // What is shown (for tests and the benchmark).
    const summary::MonthSummary& shown() const { return shown_; }
    void chooseMonth(int year, int month);

    void FormActivate() override;

private:
    void readMonth();
    void showSummary();
    void switchMeasure();
    void preview();
    void savePicture();
    void listenOnce();
    void announced(const QString& channel, const QString& payload);
    summary::Measure measure() const;

    Database& database_;
    summary::MonthSummary shown_;
    QComboBox* month_ = nullptr;
    QComboBox* year_ = nullptr;
    QRadioButton* pieces_ = nullptr;
    QRadioButton* roubles_ = nullptr;
    QLabel* figures_ = nullptr;
    QLabel* status_ = nullptr;
    charts::ChartView* output_ = nullptr;
    charts::ChartView* earners_ = nullptr;
    charts::ChartView* acceptance_ = nullptr;
    QPushButton* previewButton_ = nullptr;
    QPushButton* pictureButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    ui::LiveRefresh* live_ = nullptr;
    bool listening_ = false;
};
