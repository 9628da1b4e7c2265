#include "spreadsheet/spreadsheet.h"

#include "format/c_numbers.h"
#include "spreadsheet/cell_text.h"
#include "ui/messages.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>
#include <map>

namespace spreadsheet {

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

Application::Opener& opener()
{
    static Application::Opener f;
    return f;
}

QString& folderOverride()
{
    static QString f;
    return f;
}

void writeError(int sheet, int column, int row, const QString& caption)
{
    ui::Messages::error(QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3").arg(sheet).arg(column).arg(row),
                        caption);
}

} // namespace

struct Application::Book {
    QString path; // the unfinished file, renamed when the workbook is finished
    lxw_workbook* workbook = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* text = nullptr;
    lxw_format* boldText = nullptr;
    std::map<int, double> widest; // column -> widest text written so far
    std::map<int, double> fitted; // column -> width of its last auto-fit
    bool fitAll = false;          // every column fitted to its widest text when finished

    ~Book()
    {
        if (workbook)
            lxw_workbook_free(workbook); // frees without writing the file
        if (!path.isEmpty())
            QFile::remove(path);
    }
};

Application::Application(const QString& exportName)
    : exportName_(exportName)
{
}

Application::~Application() = default;

bool Application::hasWorkbook() const
{
    return book_ != nullptr;
}

QString Application::outputFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (base.isEmpty())
        base = QDir::homePath();
    return QDir(base).filePath(QStringLiteral("kesta_tabel"));
}

void Application::setOpener(Opener f)
{
    opener() = std::move(f);
}

void Application::setOutputFolder(const QString& folder)
{
    folderOverride() = folder;
}

bool Application::openWithDesktop(const QString& file)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // xdg-open reports success before it has looked for a handler, so ask for the handler first; without one, start
    // an office program found on the PATH.
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"),
                    {QStringLiteral("query"), QStringLiteral("default"),
                     QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
        if (query.waitForFinished(5000) && !query.readAllStandardOutput().trimmed().isEmpty() &&
            QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
            return true;
    }
    const QString localc = QStandardPaths::findExecutable(QStringLiteral("localc"));
    if (!localc.isEmpty())
        return QProcess::startDetached(localc, {file});
    for (const QString& name : {QStringLiteral("libreoffice"), QStringLiteral("soffice")}) {
        const QString program = QStandardPaths::findExecutable(name);
        if (!program.isEmpty())
            return QProcess::startDetached(program, {QStringLiteral("--calc"), file});
    }
    return false;
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
#endif
}

void Application::discard()
{
    book_.reset();
}

int Application::OpenWorkbook(const QString& fileName)
{
    started_ = true;
    discard(); // a workbook left unfinished by a failed export is dropped
    if (!fileName.isEmpty()) {
        ui::Messages::error(QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        return -1;
    }
    auto book = std::make_unique<Book>();
    const QString folder = outputFolder();
    QDir().mkpath(folder);
    {
        // Reserve a unique name in the export folder; libxlsxwriter writes the file there when it is finished.
        QTemporaryFile reserve(QDir(folder).filePath(QStringLiteral(".~export-XXXXXX.xlsx")));
        reserve.setAutoRemove(false);
        if (!reserve.open()) {
            ui::Messages::error(QStringLiteral("Ошибка открытия файла Microsoft Excel."));
            return -1;
        }
        book->path = reserve.fileName();
    }
    const QByteArray tmpdir = QDir::tempPath().toLocal8Bit();
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(tmpdir.constData());
    book->workbook = workbook_new_opt(QFile::encodeName(book->path).constData(), &options);
    if (book->workbook)
        book->sheet = workbook_add_worksheet(book->workbook, "Лист1");
    if (!book->sheet) {
        ui::Messages::error(QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        return -1;
    }
    book->bold = workbook_add_format(book->workbook);
    format_set_bold(book->bold);
    book->text = workbook_add_format(book->workbook);
    format_set_num_format(book->text, "@");
    book->boldText = workbook_add_format(book->workbook);
    format_set_bold(book->boldText);
    format_set_num_format(book->boldText, "@");
    book_ = std::move(book);
    return 1;
}

int Application::WriteCell(int sheet, int column, int row, const QString& text, int /*kind*/)
{
    return WriteCell(sheet, column, row, text, false, false, false);
}

int Application::WriteCell(int sheet, int column, int row, const QString& text, bool asText, bool autoFit, bool bold)
{
    if (text.isEmpty())
        return 1;
    if (!book_ || sheet != 1) {
        writeError(sheet, column, row, QStringLiteral("Ошибочный номер листа Microsoft Excel"));
        return -1;
    }
    if (column < 1 || column > kMaxColumns || row < 1 || row > kMaxRows) {
        writeError(sheet, column, row, QStringLiteral("Ошибка Microsoft Excel"));
        return -1;
    }
    const lxw_row_t r = static_cast<lxw_row_t>(row - 1);
    const lxw_col_t c = static_cast<lxw_col_t>(column - 1);
    const std::optional<double> number = asText ? std::nullopt : numberFromText(text);
    lxw_error rc;
    if (number) {
        rc = worksheet_write_number(book_->sheet, r, c, *number, bold ? book_->bold : nullptr);
    } else {
        lxw_format* format = asText ? (bold ? book_->boldText : book_->text) : (bold ? book_->bold : nullptr);
        rc = worksheet_write_string(book_->sheet, r, c, text.toUtf8().constData(), format);
    }
    if (rc != LXW_NO_ERROR) {
        writeError(sheet, column, row, QStringLiteral("Ошибка Microsoft Excel"));
        return -1;
    }
    // Fitting a column to one very long text (a pasted note, say) would push the others out of view.
    double& widest = book_->widest[column];
    widest = std::max(widest, std::min(kMaxFittedWidth, columnWidthFor(number ? text.trimmed() : text, bold)));
    if (autoFit)
        book_->fitted[column] = widest;
    return 1;
}

void Application::freezePanes(int rows, int columns)
{
    if (book_ && rows >= 0 && columns >= 0 && rows < kMaxRows && columns < kMaxColumns)
        worksheet_freeze_panes(book_->sheet, static_cast<lxw_row_t>(rows), static_cast<lxw_col_t>(columns));
}

void Application::fitColumns()
{
    if (book_)
        book_->fitAll = true;
}

QString Application::finish()
{
    if (book_->fitAll)
        book_->fitted = book_->widest;
    // The library writes the cells' numbers and the columns' widths here, with printf.
    const format::CNumbersScope cNumbers;
    for (const auto& [column, width] : book_->fitted)
        worksheet_set_column(book_->sheet, static_cast<lxw_col_t>(column - 1), static_cast<lxw_col_t>(column - 1),
                             width, nullptr);
    const lxw_error rc = workbook_close(book_->workbook);
    book_->workbook = nullptr; // closed (and freed) whatever the result
    if (rc != LXW_NO_ERROR)
        return {};
    // A readable name by export and time; a name already taken (a workbook still open in the application, say) is
    // never overwritten.
    const QDir folder(outputFolder());
    const QString stem = exportName_ + u' ' + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    for (int n = 1; n < 1000; ++n) {
        const QString target =
            folder.filePath(n == 1 ? stem + QStringLiteral(".xlsx") : QStringLiteral("%1 (%2).xlsx").arg(stem).arg(n));
        if (QFile::exists(target))
            continue;
        if (QFile::rename(book_->path, target)) {
            book_->path.clear();
            // The reserved name was private to the user; the finished workbook is an ordinary document.
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                              QFileDevice::ReadOther);
            return target;
        }
    }
    return {};
}

void Application::SetAppVisible(bool flag)
{
    if (!started_ || !flag || !book_)
        return;
    const QString file = finish();
    discard();
    if (file.isEmpty()) {
        ui::Messages::error(QStringLiteral("Не удалось сохранить книгу в папке %1").arg(QDir::toNativeSeparators(outputFolder())));
        return;
    }
    lastFile_ = file;
    const bool opened = opener() ? opener()(file) : openWithDesktop(file);
    if (!opened)
        ui::Messages::error(QStringLiteral("Невозможно открыть Microsoft Excel.\nКнига сохранена в файле %1")
                                .arg(QDir::toNativeSeparators(file)));
}

} // namespace spreadsheet
