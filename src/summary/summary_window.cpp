#include "summary/summary_window.h"

#include "charts/chart_view.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/listener.h"
#include "db/session.h"
#include "reportengine/render.h"
#include "summary/summary_page.h"
#include "ui/live_refresh.h"
#include "ui/window_place.h"

#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QStringList kMonths = {QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март"),
                             QStringLiteral("Апрель"),  QStringLiteral("Май"),     QStringLiteral("Июнь"),
                             QStringLiteral("Июль"),    QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
                             QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"),  QStringLiteral("Декабрь")};
// The years the lists offer, as in the timesheet: from the first year of the journal to the next one.
constexpr int kFirstYear = 2007;
// A saved picture: the printed page at this resolution.
constexpr double kPictureDpi = 150;

} // namespace

SummaryWindow::SummaryWindow(Database& database, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
{
    setObjectName(QStringLiteral("SummaryWindow"));
    setWindowTitle(QStringLiteral("Сводка за месяц"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    month_ = new QComboBox(this);
    month_->setObjectName(QStringLiteral("month"));
    month_->addItems(kMonths);
    year_ = new QComboBox(this);
    year_->setObjectName(QStringLiteral("year"));
    for (int y = kFirstYear; y <= QDate::currentDate().year() + 1; ++y)
        year_->addItem(QString::number(y));
    auto* monthLabel = new QLabel(QStringLiteral("&Месяц:"), this);
    monthLabel->setBuddy(month_);
    auto* yearLabel = new QLabel(QStringLiteral("&Год:"), this);
    yearLabel->setBuddy(year_);
    pieces_ = new QRadioButton(QStringLiteral("в &штуках"), this);
    pieces_->setObjectName(QStringLiteral("pieces"));
    roubles_ = new QRadioButton(QStringLiteral("в &рублях"), this);
    roubles_->setObjectName(QStringLiteral("roubles"));
    pieces_->setChecked(true);

    figures_ = new QLabel(this);
    figures_->setObjectName(QStringLiteral("figures"));
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setVisible(false);

    output_ = new charts::ChartView(this);
    output_->setObjectName(QStringLiteral("outputChart"));
    earners_ = new charts::ChartView(this);
    earners_->setObjectName(QStringLiteral("earnersChart"));
    acceptance_ = new charts::ChartView(this);
    acceptance_->setObjectName(QStringLiteral("acceptanceChart"));

    previewButton_ = new QPushButton(QStringLiteral("&Печать..."), this);
    previewButton_->setObjectName(QStringLiteral("preview"));
    pictureButton_ = new QPushButton(QStringLiteral("Со&хранить рисунок..."), this);
    pictureButton_->setObjectName(QStringLiteral("picture"));
    closeButton_ = new QPushButton(QStringLiteral("&Закрыть"), this);
    closeButton_->setObjectName(QStringLiteral("close"));
    closeButton_->setShortcut(QKeySequence(Qt::Key_Escape));
    for (QPushButton* b : {previewButton_, pictureButton_, closeButton_})
        b->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(monthLabel);
    top->addWidget(month_);
    top->addWidget(yearLabel);
    top->addWidget(year_);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("Выработка:"), this));
    top->addWidget(pieces_);
    top->addWidget(roubles_);
    top->addStretch(1);
    // the buttons below the charts, so that the window fits a small screen
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(previewButton_);
    bottom->addWidget(pictureButton_);
    bottom->addWidget(closeButton_);

    auto* charts = new QGridLayout;
    charts->addWidget(output_, 0, 0, 1, 2);
    charts->addWidget(earners_, 1, 0);
    charts->addWidget(acceptance_, 1, 1);
    // the earners' names need the room of their fifteen lines and "остальные"
    charts->setRowStretch(0, 2);
    charts->setRowStretch(1, 3);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(figures_);
    page->addWidget(status_);
    page->addLayout(charts, 1);
    page->addLayout(bottom);
    resize(1000, 700);
    ui::rememberPlace(this);

    ui::connectGuarded(month_, &QComboBox::activated, this, &SummaryWindow::readMonth);
    ui::connectGuarded(year_, &QComboBox::activated, this, &SummaryWindow::readMonth);
    ui::connectGuarded(pieces_, &QRadioButton::toggled, this, &SummaryWindow::switchMeasure);
    ui::connectGuarded(previewButton_, &QPushButton::clicked, this, &SummaryWindow::preview);
    ui::connectGuarded(pictureButton_, &QPushButton::clicked, this, &SummaryWindow::savePicture);
    ui::connectGuarded(closeButton_, &QPushButton::clicked, this, &QDialog::reject);

    // Another workstation's change of the shown month (or of the month before, which its comparisons read) shows by
    // itself; the re-read keeps what was shown when it fails.
    live_ = new ui::LiveRefresh(this, [this] {
        shown_ = summary::readMonth(database_.reportConnectionName(), shown_.year, shown_.month);
        showSummary();
    });
    connect(live_, &ui::LiveRefresh::readFailed, this, [this](const QString& reason) {
        status_->setText(QStringLiteral("Сводка не обновлена: ") + reason);
        status_->setVisible(true);
    });
    connect(live_, &ui::LiveRefresh::current, this, [this] { status_->setVisible(false); });
    shown_ = summary::emptyMonth(QDate::currentDate().year(), QDate::currentDate().month());
}

void SummaryWindow::showMonth(const QDate& day, ui::Activatable* returnTo)
{
    chooseMonth(day.year(), day.month());
    ui::showModal(this, returnTo);
}

void SummaryWindow::chooseMonth(int year, int month)
{
    month_->setCurrentIndex(month - 1);
    const int index = year_->findText(QString::number(year));
    year_->setCurrentIndex(index >= 0 ? index : year_->count() - 1);
}

void SummaryWindow::FormActivate()
{
    listenOnce();
    readMonth();
    month_->setFocus();
}

// The chosen month read anew, with the caption saying where it came from.
void SummaryWindow::readMonth()
{
    ui::WaitCursor wait;
    shown_ = summary::readMonth(database_.reportConnectionName(), year_->currentText().toInt(),
                                month_->currentIndex() + 1);
    live_->readAll();
    status_->setVisible(false);
    const QString note = db::standbyNote(database_.reportConnectionName());
    setWindowTitle(note.isEmpty() ? QStringLiteral("Сводка за месяц") : QStringLiteral("Сводка за месяц — ") + note);
    showSummary();
}

void SummaryWindow::showSummary()
{
    figures_->setText(summary::figureLines(shown_, locale()).join(u'\n'));
    output_->setChart(summary::outputChart(shown_, measure()));
    earners_->setChart(summary::earnersChart(shown_));
    acceptance_->setChart(summary::acceptanceChart(shown_));
}

void SummaryWindow::switchMeasure()
{
    output_->setChart(summary::outputChart(shown_, measure()));
}

summary::Measure SummaryWindow::measure() const
{
    return roubles_->isChecked() ? summary::Measure::Roubles : summary::Measure::Pieces;
}

// The summary's page in the preview, which prints it and saves it as PDF.
void SummaryWindow::preview()
{
    const reportengine::Document doc = summary::summaryDocument(
        shown_, measure(), locale(), db::standbyNote(database_.reportConnectionName()));
    reportengine::preview(doc, reportengine::Zoom::WholePage, this);
}

// The summary's page as a PNG picture.
void SummaryWindow::savePicture()
{
    const reportengine::Document doc = summary::summaryDocument(shown_, measure(), locale());
    const QString suggested = reportengine::pdfFileName(doc.title).replace(QStringLiteral(".pdf"), QStringLiteral(".png"));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить рисунок"), suggested,
                                                      QStringLiteral("Рисунок PNG (*.png)"));
    if (path.isEmpty())
        return;
    ui::WaitCursor wait;
    const QSizeF paper = doc.paperMm;
    QImage image(QSize(qRound(paper.width() / 25.4 * kPictureDpi), qRound(paper.height() / 25.4 * kPictureDpi)),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kPictureDpi / 0.0254));
    image.setDotsPerMeterY(qRound(kPictureDpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        reportengine::paintPage(doc, 0, painter);
    }
    if (!image.save(path, "PNG"))
        ui::Messages::error(QStringLiteral("Не удалось записать файл %1.").arg(path));
}

void SummaryWindow::listenOnce()
{
    if (listening_ || !database_.ADO_DB.isOpen())
        return;
    listening_ = true;
    db::Listener* listener = database_.announcements();
    connect(listener, &db::Listener::changed, this, &SummaryWindow::announced);
    connect(listener, &db::Listener::reconnected, live_, &ui::LiveRefresh::changed);
}

void SummaryWindow::announced(const QString& channel, const QString& payload)
{
    if (channel != QLatin1String(db::kJournalChannel))
        return;
    // 'YYYY-MM-DD/S': the shown month, or the month before it
    const QDate day = QDate::fromString(payload.left(10), Qt::ISODate);
    const QDate first(shown_.year, shown_.month, 1);
    if (day.isValid() && day >= first.addMonths(-1) && day < first.addMonths(1))
        live_->changed();
}
