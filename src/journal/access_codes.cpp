#include "journal/access_codes.h"

#include <QCryptographicHash>

namespace {

struct CodeDigest {
    Role role;
    const char* sha256;
};

// SHA-256 of "kesta-tabel:" followed by the code, in the order in which codes are compared.
const CodeDigest kCodes[] = {
    {Role::Reporting, "50682d32161cdffab11e19ba52004295e4ad6305a683304697d265bdbbec673b"},
    {Role::Foreman, "7c33582eecfe06d3565cebfe9fc8fc99a06d93648e2d035f593fa44a02742a3b"},
    {Role::Warehouse, "c64e3b692e2fec8a29d1ca553cabd62f43ddbbdebb2b6ef3d27b1a8b87422e1e"},
    {Role::FullAccess, "636dde674547268ced13e58d232a826ffec70cb2fa21e61d0cb2762141694024"},
    {Role::FullAccess, "c79f6817259e202fc4e7252ec7f292e5f4e34a0acb69842ae1d4e2cda5c9a910"},
};

QByteArray digest(const QByteArray& code)
{
    return QCryptographicHash::hash(QByteArrayLiteral("kesta-tabel:") + code, QCryptographicHash::Sha256).toHex();
}

} // namespace

QString trimCode(const QString& text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 0x20)
        ++b;
    while (e > b && text[e - 1].unicode() <= 0x20)
        --e;
    return text.mid(b, e - b);
}

Role roleForCode(const QByteArray& trimmedCode)
{
    if (trimmedCode.isEmpty())
        return Role::None;
    const QByteArray d = digest(trimmedCode);
    for (const CodeDigest& c : kCodes)
        if (d == c.sha256)
            return c.role;
    return Role::None;
}

bool isForemanCode(const QByteArray& code)
{
    return roleForCode(code) == Role::Foreman;
}
