#include "reportengine/pdf_writer.h"

#include "reportengine/pdf_font.h"
#include "reportengine/pdf_objects.h"
#include "reportengine/pdf_page_writer.h"

#include <QPageLayout>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace reportengine {

namespace {

using pdf::EmbeddedFont;
using pdf::flate;
using pdf::FontNumbers;
using pdf::num;
using pdf::PageWriter;
using pdf::PdfFile;
using pdf::textString;

// Writes the pages' compressed content streams and page objects on a thread of its own while the next pages are
// drawn. Only a few pages wait at a time, so memory stays flat however many pages there are. The file is the
// sink's alone until close().
class PageSink {
public:
    PageSink(PdfFile& file, QByteArray pageHead)
        : file_(file)
        , pageHead_(std::move(pageHead))
        , thread_([this] { run(); })
    {
    }
    ~PageSink() { close(); }
    PageSink(const PageSink&) = delete;
    PageSink& operator=(const PageSink&) = delete;

    void add(QByteArray compressed)
    {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [this] { return queue_.size() < kWaiting; });
        queue_.push_back(std::move(compressed));
        notEmpty_.notify_one();
    }

    // Waits until every page is written; gives the page objects in order.
    const std::vector<int>& close()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        notEmpty_.notify_one();
        if (thread_.joinable())
            thread_.join();
        return kids_;
    }

private:
    static constexpr size_t kWaiting = 4;

    void run()
    {
        for (;;) {
            QByteArray compressed;
            {
                std::unique_lock lock(mutex_);
                notEmpty_.wait(lock, [this] { return closed_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                compressed = std::move(queue_.front());
                queue_.pop_front();
            }
            notFull_.notify_one();
            const int stream = file_.newObject(), page = file_.newObject();
            file_.stream(stream, compressed);
            file_.object(page, pageHead_ + QByteArray::number(stream) + " 0 R >>");
            kids_.push_back(page);
        }
    }

    PdfFile& file_;
    const QByteArray pageHead_;
    std::vector<int> kids_;
    std::mutex mutex_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<QByteArray> queue_;
    bool closed_ = false;
    std::thread thread_; // last: it starts at once
};

} // namespace

bool writePdfDirect(const Document& doc, const QString& path)
{
    try {
        PdfFile file(path);
        const int catalog = file.newObject(), pages = file.newObject(), resources = file.newObject(),
                  info = file.newObject();
        const QRectF paper = QPageLayout(doc.pageSize, doc.orientation, QMarginsF()).fullRect(QPageLayout::Point);
        QByteArray mediaBox = "[0 0 ";
        num(mediaBox, paper.width());
        mediaBox += ' ';
        num(mediaBox, paper.height());
        mediaBox += ']';

        // Two writers draw and compress the pages, this thread the even ones and a second thread the odd ones, and
        // hand them to the sink in turn, so the pages are written in order.
        FontNumbers numbers;
        PageWriter writers[2] = {PageWriter(numbers), PageWriter(numbers)};
        std::vector<int> kids;
        {
            PageSink sink(file, "<< /Type /Page /Parent " + QByteArray::number(pages) + " 0 R /MediaBox " + mediaBox +
                                    " /Resources " + QByteArray::number(resources) + " 0 R /Contents ");
            const Page blank;
            const qsizetype count = std::max<qsizetype>(1, doc.pages.size()); // a document has at least a blank page
            std::mutex turnMutex;
            std::condition_variable turnChanged;
            qsizetype turn = 0;   // the page the sink takes next
            bool stopped = false; // a writer failed: the other stops too
            std::exception_ptr failure;
            auto draw = [&](int w) {
                try {
                    for (qsizetype p = w; p < count; p += 2) {
                        const std::string content =
                            writers[w].content(p < doc.pages.size() ? doc.pages[p] : blank, paper.height());
                        // The fastest compression: a tenth bigger than the default level at a fraction of its time.
                        QByteArray compressed = flate(content.data(), content.size(), 1);
                        std::unique_lock lock(turnMutex);
                        turnChanged.wait(lock, [&] { return turn == p || stopped; });
                        if (stopped)
                            return;
                        sink.add(std::move(compressed));
                        ++turn;
                        turnChanged.notify_all();
                    }
                } catch (...) {
                    std::lock_guard lock(turnMutex);
                    if (!failure)
                        failure = std::current_exception();
                    stopped = true;
                    turnChanged.notify_all();
                }
            };
            std::thread second(draw, 1);
            draw(0);
            second.join();
            kids = sink.close();
            if (failure)
                std::rethrow_exception(failure);
        }

        // Each face once, with every glyph either writer used.
        std::map<int, EmbeddedFont*> fonts;
        for (const PageWriter& writer : writers)
            for (const auto& [number, font] : writer.fonts()) {
                EmbeddedFont*& kept = fonts[number];
                if (kept)
                    kept->takeUsed(*font);
                else
                    kept = font.get();
            }
        QByteArray fontDict;
        for (const auto& [number, f] : fonts) {
            const int type0 = file.newObject();
            fontDict += " /" + f->resource() + ' ' + QByteArray::number(type0) + " 0 R";
            f->writeObjects(type0, file);
        }
        file.object(resources, "<< /ProcSet [/PDF /Text] /Font <<" + fontDict + " >> >>");
        QByteArray k = "<< /Type /Pages /Count " + QByteArray::number(qulonglong(kids.size())) + " /Kids [";
        for (int id : kids)
            k += QByteArray::number(id) + " 0 R ";
        k += "] >>";
        file.object(pages, k);
        file.object(catalog, "<< /Type /Catalog /Pages " + QByteArray::number(pages) + " 0 R >>");
        file.object(info, "<< /Creator (kesta_tabel) /Producer (kesta_tabel)" +
                              (doc.title.isEmpty() ? QByteArray() : " /Title " + textString(doc.title)) + " >>");
        file.finish(catalog, info, path);
        return true;
    } catch (const pdf::UnsupportedFont&) {
        return false; // the unfinished file is discarded with its QSaveFile
    }
}

} // namespace reportengine
