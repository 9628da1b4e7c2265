// Spreadsheet export: a new workbook filled cell by cell and handed to the desktop's spreadsheet application.
#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace spreadsheet {

// One "spreadsheet application" as the exports see it: it holds at most one workbook being filled. The workbook is
// built with libxlsxwriter; making the application visible saves it as an .xlsx file in the user's export folder
// and opens that file with the desktop's handler for .xlsx. Sheets, columns and rows count from 1.
class Application {
public:
    // exportName starts the saved file's name ("Цены 2026-12-10 14-05-31.xlsx").
    explicit Application(const QString& exportName = QStringLiteral("Выгрузка"));
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Starts a new workbook with one sheet and gives 1; -1 (after a message) when it cannot be made.
    // An existing workbook cannot be opened for writing: a non-empty name gives the same message and -1.
    int OpenWorkbook(const QString& fileName);

    // true finishes the workbook being filled: it is saved and opened in the spreadsheet application. false keeps
    // it hidden while it is filled, which it is anyway. Nothing happens before the first OpenWorkbook.
    void SetAppVisible(bool flag);

    // Writes text into a cell and gives 1; empty text writes nothing. Text that reads as a number becomes a number
    // cell. A bad sheet or cell shows a message and gives -1. The fifth argument is accepted and not used.
    int WriteCell(int sheet, int column, int row, const QString& text, int kind = 0);
    // The same with formatting: asText keeps the text as text even when it reads as a number; autoFit widens the
    // column to its widest text written so far; bold sets or clears bold.
    int WriteCell(int sheet, int column, int row, const QString& text, bool asText, bool autoFit, bool bold);

    // Keeps the first rows and columns in view while the rest of the sheet scrolls (the header lines, the names).
    void freezePanes(int rows, int columns = 0);
    // Fits every column written to its widest text when the workbook is finished, as the application's AutoFit
    // of whole columns does; a very long text widens its column only up to kMaxFittedWidth.
    void fitColumns();
    static constexpr double kMaxFittedWidth = 60;

    // Whether a workbook is being filled, and the file the last finished workbook was saved to.
    bool hasWorkbook() const;
    QString lastFile() const { return lastFile_; }

    // The per-user folder that finished workbooks are saved to (created when needed).
    static QString outputFolder();
    // How a finished workbook is opened: true when an application took it. Tests put their own opener here to read
    // the file back instead; an empty function restores the desktop's handler. setOutputFolder(empty) likewise.
    using Opener = std::function<bool(const QString& file)>;
    static void setOpener(Opener opener);
    static void setOutputFolder(const QString& folder);
    // The desktop's handler for .xlsx files, or an office program found on the PATH.
    static bool openWithDesktop(const QString& file);

private:
    struct Book;
    void discard();
    QString finish();

    QString exportName_;
    bool started_ = false; // the reference is held: set by the first OpenWorkbook
    std::unique_ptr<Book> book_;
    QString lastFile_;
};

} // namespace spreadsheet
