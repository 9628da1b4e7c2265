#include "catalogs/catalogs_sql.h"

#include "db/sql_text.h"

namespace catalogs_sql {

using db::sql::number;
using db::sql::quote;

const QString kStaffpos = QStringLiteral(
    "select id, id_department, s_code, s_caption, d_begin, d_end, s_description from hrms_staffpos.staffpos");
const QString kDepartment =
    QStringLiteral("select id, id_branch, s_code, s_caption, s_description, id_parent from cmn_department.department");
const QString kRoles = QStringLiteral("select id, s_name, s_caption, d_begin, d_end, b_active from adm_role.roles");

QString insertWorker(const QString& name, const QString& department)
{
    return QStringLiteral("INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(") + quote(name) +
           QStringLiteral(", ") + quote(department) + QStringLiteral(")");
}

QString updateWorker(const QString& name, const QString& department, qint64 id)
{
    return QStringLiteral("UPDATE accounts_dep.person SET fio=") + quote(name) + QStringLiteral(", s_staffpos_hl=") +
           quote(department) + QStringLiteral(" where accounts_dep.person.id=") + number(id);
}

QString deleteWorker(qint64 id)
{
    return QStringLiteral("delete from accounts_dep.person where id =") + number(id);
}

const QString kItem =
    QStringLiteral("select id, id_classifier, id_level, s_code, s_caption, s_description, b_excluded, "
                   "d_excluded_date, id_parent from cmn_classifier.item where id_level=2 "
                   "order by s_caption");

QString productDuplicate(const QString& upperCode)
{
    return QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=") + quote(upperCode);
}

QString productDuplicate(const QString& upperCode, const QString& ownId)
{
    return productDuplicate(upperCode) + QStringLiteral("and id<>") + ownId;
}

QString insertProduct(const QString& code, const QString& rate, const QString& group)
{
    return QStringLiteral("INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, "
                          "id_class_item)VALUES(") +
           quote(code) + QStringLiteral(", '', 6, ") + rate + QStringLiteral(",") + group + QStringLiteral(")");
}

QString updateProduct(const QString& code, const QString& rate, const QString& group, const QString& id)
{
    return QStringLiteral("UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=") + quote(code) +
           QStringLiteral(", s_description='', id_msm_bs=6, massa=") + rate + QStringLiteral(", id_class_item=") +
           group + QStringLiteral(" where id=") + id;
}

QString kindDuplicate(const QString& upperName)
{
    return QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=") + quote(upperName);
}

QString kindDuplicate(const QString& upperName, const QString& ownId)
{
    return kindDuplicate(upperName) + QStringLiteral(" and id<>") + ownId;
}

QString rowVersion(Row row, qint64 id, bool forUpdate)
{
    QString text;
    switch (row) {
    case Row::Worker:
        text = QStringLiteral("select (s_caption, s_staffpos_hl)::text as v from cmn_contractor.person where id=");
        break;
    case Row::Product:
        text = QStringLiteral(
            "select (s_caption, massa, id_class_item)::text as v from cmn_gds_and_srv.gds_and_srv where id=");
        break;
    case Row::Kind:
        text = QStringLiteral("select (vid)::text as v from accounts_dep.vid_oper where id=");
        break;
    case Row::Operation:
        text = QStringLiteral("select (vid, naimen, i_id)::text as v from accounts_dep.oper where id=");
        break;
    case Row::Norm:
        text = QStringLiteral("select (o_id, norma, price, prize)::text as v from accounts_dep.norm where id=");
        break;
    }
    return text + number(id) + (forUpdate ? QStringLiteral(" for update") : QString());
}

QString normCount(qint64 operationId)
{
    return QStringLiteral("select count(*) as cnt from accounts_dep.norm where o_id=") + number(operationId);
}

QString deleteNorm(qint64 normId)
{
    return QStringLiteral("delete from accounts_dep.norm where id=") + number(normId);
}

} // namespace catalogs_sql
