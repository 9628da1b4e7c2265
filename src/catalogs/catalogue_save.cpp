#include "catalogs/catalogue_save.h"

#include "ui/messages.h"

namespace catalogs {

Outcome saveAsking(Change* change, const std::function<Outcome(const Change*)>& save)
{
    Outcome outcome = save(change);
    if (outcome == Outcome::ChangedMeanwhile && change) {
        if (!ui::Messages::question(overwriteQuestion(), QStringLiteral("Изменение")))
            return outcome;
        change->overwrite = true;
        outcome = save(change);
    }
    const QString text = message(outcome);
    if (!text.isEmpty())
        ui::Messages::error(text);
    return outcome;
}

} // namespace catalogs
