#include "journal/journal_day.h"

#include "db/batch.h"
#include "db/data_module.h"
#include "db/dataset.h"

namespace journal {

db::months::Closed openDay(Database& dm, const QDate& day)
{
    QList<db::Dataset*> shifts;
    for (int s = 1; s <= 4; ++s)
        shifts.append(dm.smenaQuery(s));
    for (db::Dataset* q : shifts)
        q->close();
    for (db::Dataset* q : shifts)
        q->setParam(QStringLiteral("data"), day);
    db::Batch batch(dm.ADO_DB.name());
    db::OpenTogether open(batch, shifts);
    const int month = batch.add(db::months::closedStateStatement(day.month(), day.year()));
    batch.run();
    open.load();
    return db::months::closedStateOf(batch, month);
}

} // namespace journal
