// Statement texts of the locks that keep references whole between workstations: a change that refers to a worker,
// an operation, a product or an operation kind holds that row's lock shared; its deletion takes it exclusive
// before counting its uses. Catalogue keys (a product's grade code, a kind's name, an operation's kind, flag and
// product) are locked one at a time around their duplicate tests.
#pragma once

#include <QString>

namespace db::refs_sql {

enum class Ref { Worker = 1, Operation = 2, Product = 3, Kind = 4 };
enum class Key { ProductCode = 1, KindName = 2, Operation = 3 };

// Class keys of the advisory locks; the database's own deletion guards (schema.sql) use the same numbers.
inline constexpr qint64 kRefLockClassBase = 0x4B500000; // + Ref
inline constexpr qint64 kKeyLockClassBase = 0x4B510000; // + Key

QString lockShared(Ref ref, qint64 id);
QString lockExclusive(Ref ref, qint64 id);
// Whether the row is there (column "cnt").
QString presence(Ref ref, qint64 id);
// The key as text (upper-cased by the caller where the duplicate test compares upper-cased text).
QString lockKey(Key key, const QString& text);

} // namespace db::refs_sql
