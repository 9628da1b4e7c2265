-- Database objects the program expects. In production they belong to the enterprise database;
-- this script builds the same objects for the demo and for the tests.
\set ON_ERROR_STOP on
set client_min_messages = warning;

create schema if not exists accounts_dep;
create schema if not exists cmn_contractor;
create schema if not exists cmn_gds_and_srv;
create schema if not exists cmn_classifier;
create schema if not exists hrms_staffpos;
create schema if not exists cmn_department;
create schema if not exists adm_role;

-- Type names used in casts by the program's statements.
create domain public.t_id as numeric(15,0);
create domain public.t_integer as integer;

-- Enterprise: persons. s_code holds the worker's number as text.
create sequence cmn_contractor.person_id_seq;
create table cmn_contractor.person (
    id            numeric(15,0) primary key default nextval('cmn_contractor.person_id_seq'),
    s_caption     varchar(254) not null,
    s_code        varchar(50),
    s_staffpos_hl varchar(254)
);
-- A person added without a number gets its own key as its number, so that the journal (by id or number),
-- the timesheet and the reports (by number) all find the same worker.
create function cmn_contractor.person_default_code() returns trigger language plpgsql as $$
begin
    if new.s_code is null or btrim(new.s_code) = '' then
        new.s_code := new.id::bigint::text;
    end if;
    return new;
end $$;
create trigger person_default_code before insert on cmn_contractor.person
    for each row execute function cmn_contractor.person_default_code();
create index person_s_code_idx on cmn_contractor.person (s_code);
-- The journal finds a row's person by key or by number ("s_code::t_id=w_id"): with this index the server looks
-- each row's person up instead of comparing every row with every person. The statements cast every number
-- anyway, so s_code must hold whole numbers.
create index person_s_code_tid_idx on cmn_contractor.person ((s_code::t_id));

-- Enterprise: goods and services; products of the shop are rows here.
create sequence cmn_gds_and_srv.gds_and_srv_id_seq;
create table cmn_gds_and_srv.gds_and_srv (
    id            numeric(15,0) primary key default nextval('cmn_gds_and_srv.gds_and_srv_id_seq'),
    s_caption     varchar(254) not null,
    s_name        varchar(255),
    s_description varchar(4000),
    id_msm_bs     numeric(15,0),
    massa         numeric(28,6),
    id_class_item numeric(15,0)
);

create sequence cmn_classifier.item_id_seq;
create table cmn_classifier.item (
    id              numeric(15,0) primary key default nextval('cmn_classifier.item_id_seq'),
    id_classifier   numeric(15,0),
    id_level        numeric(15,0),
    s_code          varchar(50),
    s_caption       varchar(254),
    s_description   varchar(4000),
    b_excluded      varchar(5),
    d_excluded_date date,
    id_parent       numeric(15,0)
);

create sequence cmn_department.department_id_seq;
create table cmn_department.department (
    id            numeric(15,0) primary key default nextval('cmn_department.department_id_seq'),
    id_branch     numeric(15,0),
    s_code        varchar(50),
    s_caption     varchar(254),
    s_description varchar(4000),
    id_parent     numeric(15,0)
);

create sequence hrms_staffpos.staffpos_id_seq;
create table hrms_staffpos.staffpos (
    id            numeric(15,0) primary key default nextval('hrms_staffpos.staffpos_id_seq'),
    id_department numeric(15,0),
    s_code        varchar(50),
    s_caption     varchar(254),
    d_begin       date,
    d_end         date,
    s_description varchar(4000)
);

create sequence adm_role.roles_id_seq;
create table adm_role.roles (
    id        numeric(15,0) primary key default nextval('adm_role.roles_id_seq'),
    s_name    varchar(30),
    s_caption varchar(254),
    d_begin   date,
    d_end     date,
    b_active  varchar(5)
);

-- The program's own tables.
create table accounts_dep.ver (
    d     integer,
    t     integer,
    delim varchar(255)
);

-- The build stamp moves only forward, and only to a moment that has come: a program calls this (no login writes the
-- table), which refuses a stamp later than the server's clock, so that nobody can claim the database for a build
-- from the future and stop every workstation. The newest row is the one moved; an empty table gets one. The time
-- zone is the one the schema was loaded in (the server's), not the caller's.
create function accounts_dep.raise_build_stamp(new_d integer, new_t integer) returns void language plpgsql
    set timezone from current as $$
declare
    stamp timestamp;
begin
    if new_d is null or new_t is null or new_t < 0 or new_t >= 86400 then
        raise exception 'Неверная отметка сборки программы: % %.', new_d, new_t using errcode = 'KM002';
    end if;
    begin
        stamp := make_timestamp(new_d / 10000, new_d / 100 % 100, new_d % 100, 0, 0, 0) + make_interval(secs => new_t);
    exception when others then
        raise exception 'Неверная отметка сборки программы: % %.', new_d, new_t using errcode = 'KM002';
    end;
    if stamp > localtimestamp then
        raise exception 'Отметка сборки программы % % позже часов сервера: сборка не может быть из будущего.',
            new_d, new_t using errcode = 'KM002';
    end if;
    -- Two programs starting at once take turns (the program's check takes the same lock).
    perform pg_advisory_xact_lock(1263730688, 0);
    update accounts_dep.ver set d = new_d, t = new_t
    where ctid = (select ctid from accounts_dep.ver order by coalesce(d, 0) desc, coalesce(t, 0) desc limit 1)
      and (coalesce(d, 0), coalesce(t, 0)) < (new_d, new_t);
    if not exists (select 1 from accounts_dep.ver) then
        insert into accounts_dep.ver (d, t) values (new_d, new_t);
    end if;
end $$;

create table accounts_dep.vid_oper (
    id  serial primary key,
    vid varchar(50)
);

create table accounts_dep.oper (
    id       serial primary key,
    vid      integer,
    naimen   smallint,
    i_id     integer,
    cena     numeric(19,4),
    cena_new numeric(19,4)
);
create index oper_i_id_idx on accounts_dep.oper (i_id);

create table accounts_dep.norm (
    id    serial primary key,
    o_id  integer,
    norma integer,
    price double precision,
    prize integer
);
create index norm_o_id_idx on accounts_dep.norm (o_id);

create table accounts_dep.smena (
    id            serial primary key,
    w_id          integer,
    i_id          integer,
    o_id          integer,
    cena          double precision,
    kol_vo        numeric,
    brak          smallint,
    data          date,
    smena         smallint,
    color         integer,
    time          integer,
    ok            varchar(255),
    vvod          timestamp,
    prize         double precision,
    id_doc        numeric(15,0),
    id_doc_item   numeric(15,0),
    f_gds_qty_use double precision,
    id_gds_use    numeric(15,0),
    id_cons_use   numeric(15,0)
);
-- The journal window reads one date and shift; the reports read a date range;
-- the save and the deletion sum one worker's hours of a shift and date.
create index smena_data_smena_idx on accounts_dep.smena (data, smena);
create index smena_w_id_smena_data_idx on accounts_dep.smena (w_id, smena, data);
-- What a row may hold, whatever client writes it. A row's id never changes (its history follows it). For every login
-- but the owner of the table (who loads and repairs data): a new row is not accepted yet (the acceptance is the
-- warehouse's) and a mark written is one the program writes ("no" or "ok"; "да" of older programs stays readable, and
-- the owner may load any); its worker, product and operation exist; a price it writes is the operation's lowest norm price now
-- times a factor its shift allows (day off x2; shift 3 x1.2, overtime x1.5) to the 4 decimals the program stores,
-- while a change that leaves the stored price keeps it (norms change, old rows keep what they were paid); quantity,
-- rejects, colour and hours are what the entry editor lets through, and the columns the editor writes as 0 stay 0.
create function accounts_dep.smena_row_allowed() returns trigger language plpgsql as $$
declare
    base double precision;
    factors double precision[];
    written boolean := tg_op = 'INSERT';
begin
    if tg_op = 'UPDATE' and new.id is distinct from old.id then
        raise exception 'Код записи журнала (%) не меняется.', old.id
            using errcode = 'check_violation', constraint = 'smena_row_id';
    end if;
    if pg_has_role(current_user, (select c.relowner from pg_catalog.pg_class c where c.oid = tg_relid), 'MEMBER') then
        return new;
    end if;
    if tg_op = 'INSERT' and new.ok is distinct from 'no' then
        raise exception 'Новая запись журнала не может быть принятой: её принимает склад.'
            using errcode = 'check_violation', constraint = 'smena_row_mark';
    end if;
    if tg_op = 'UPDATE' and new.ok is distinct from old.ok and new.ok not in ('no', 'ok') then
        raise exception 'Отметка записи журнала может быть только "no" или "ok".'
            using errcode = 'check_violation', constraint = 'smena_row_mark';
    end if;
    if written or new.w_id is distinct from old.w_id then
        if new.w_id is null or not exists (select 1 from cmn_contractor.person p
                                           where p.id = new.w_id or p.s_code = new.w_id::text) then
            raise exception 'Работник % не найден.', new.w_id
                using errcode = 'foreign_key_violation', constraint = 'smena_row_worker';
        end if;
    end if;
    if written or new.i_id is distinct from old.i_id then
        if new.i_id is null or not exists (select 1 from accounts_dep.izdel i where i.id = new.i_id) then
            raise exception 'Изделие % не найдено.', new.i_id
                using errcode = 'foreign_key_violation', constraint = 'smena_row_product';
        end if;
    end if;
    if written or new.o_id is distinct from old.o_id then
        if new.o_id is null or not exists (select 1 from accounts_dep.oper o where o.id = new.o_id) then
            raise exception 'Операция % не найдена.', new.o_id
                using errcode = 'foreign_key_violation', constraint = 'smena_row_operation';
        end if;
    end if;
    if written or new.smena is distinct from old.smena or new.kol_vo is distinct from old.kol_vo
       or new.brak is distinct from old.brak or new.time is distinct from old.time
       or new.color is distinct from old.color or new.data is distinct from old.data then
        if new.smena is null or new.smena not between 1 and 4 or new.data is null
           or new.kol_vo is null or new.kol_vo not between 0 and 999999999999999 or new.kol_vo <> trunc(new.kol_vo)
           or new.brak is null or new.brak < 0 or new.brak > new.kol_vo
           or new.time is null or new.time not between 0 and 32767 or coalesce(new.color, 0) < 0 then
            raise exception 'Смена, дата, количество, брак, цвет или время записи журнала вне допустимых значений.'
                using errcode = 'check_violation', constraint = 'smena_row_numbers';
        end if;
    end if;
    if written or new.prize is distinct from old.prize or new.id_doc is distinct from old.id_doc
       or new.id_doc_item is distinct from old.id_doc_item or new.f_gds_qty_use is distinct from old.f_gds_qty_use
       or new.id_gds_use is distinct from old.id_gds_use or new.id_cons_use is distinct from old.id_cons_use then
        if coalesce(new.prize, 0) <> 0 or coalesce(new.id_doc, 0) <> 0 or coalesce(new.id_doc_item, 0) <> 0
           or coalesce(new.f_gds_qty_use, 0) <> 0 or coalesce(new.id_gds_use, 0) <> 0
           or coalesce(new.id_cons_use, 0) <> 0 then
            raise exception 'Премия и ссылки на документы записи журнала пишутся нулями.'
                using errcode = 'check_violation', constraint = 'smena_row_zeros';
        end if;
    end if;
    -- A deleted row written back (the transaction names its deletion in kesta.restores) keeps the price it was
    -- paid at, once, as it was, and only for a login that may delete rows.
    if tg_op = 'INSERT' and coalesce(current_setting('kesta.restores', true), '') <> '' then
        perform accounts_dep.restore_allowed(new);
        return new;
    end if;
    -- (the program writes a kept price back rounded to its 4 decimals: that keeps it too)
    if written or new.cena is null or old.cena is null or abs(new.cena - old.cena) > 0.0000501 then
        select min(n.price) into base from accounts_dep.norm n where n.o_id = new.o_id;
        factors := case new.smena when 3 then array[1.2, 2.4] when 4 then array[1.5, 3] else array[1, 2] end;
        if base is null or new.cena is null or not exists (
               select 1 from unnest(factors) f
               where abs(new.cena::numeric - (base::numeric * f::numeric)) <= 0.0000501) then
            raise exception 'Цена % не равна расценке операции % (%) с надбавкой смены: выберите операцию заново.',
                new.cena, new.o_id, base
                using errcode = 'check_violation', constraint = 'smena_row_price';
        end if;
    end if;
    return new;
end $$;
create trigger smena_row_allowed before insert or update on accounts_dep.smena
    for each row execute function accounts_dep.smena_row_allowed();

create table accounts_dep.h_tabel (
    id    serial primary key,
    w_id  integer,
    smena smallint,
    month smallint,
    year  smallint,
    d1  smallint default 0, d2  smallint default 0, d3  smallint default 0, d4  smallint default 0,
    d5  smallint default 0, d6  smallint default 0, d7  smallint default 0, d8  smallint default 0,
    d9  smallint default 0, d10 smallint default 0, d11 smallint default 0, d12 smallint default 0,
    d13 smallint default 0, d14 smallint default 0, d15 smallint default 0, d16 smallint default 0,
    d17 smallint default 0, d18 smallint default 0, d19 smallint default 0, d20 smallint default 0,
    d21 smallint default 0, d22 smallint default 0, d23 smallint default 0, d24 smallint default 0,
    d25 smallint default 0, d26 smallint default 0, d27 smallint default 0, d28 smallint default 0,
    d29 smallint default 0, d30 smallint default 0, d31 smallint default 0
);
create index h_tabel_month_idx on accounts_dep.h_tabel (year, month, smena);
create index h_tabel_w_id_idx on accounts_dep.h_tabel (w_id, smena, month, year);

-- The timesheet's cells are written by the database from the journal, never by a login's column rights: these two
-- functions run as the owner and are what the program calls. Locks (transaction-scoped advisory locks): the month
-- (class 1263796224, key year*100+month) shared by a change of one worker's day, exclusive by the month's rebuild
-- and by its closing; then the worker's row of that shift and month (class 1264582656 + key*8 + shift, the worker),
-- so two changes of one cell are one wholly before the other.
--
-- One worker's day: the cell set to the sum of the worker's journal hours of that shift and date (as committed by
-- others and written by the caller's transaction); without a timesheet row for the shift and month one is added
-- carrying that day when add_row, or when the day has hours. Returns the hours written. KM003: they would not fit.
create function accounts_dep.timesheet_day(w integer, s integer, dt date, add_row boolean) returns integer
    language plpgsql as $$
declare
    m integer := extract(month from dt);
    y integer := extract(year from dt);
    hours bigint;
    updated integer;
begin
    if w is null or s is null or dt is null then
        raise exception 'Табель: не указан работник, смена или день.' using errcode = 'null_value_not_allowed';
    end if;
    perform pg_advisory_xact_lock_shared(1263796224, y * 100 + m);
    perform pg_advisory_xact_lock(1264582656 + (y * 100 + m) * 8 + (s & 7), w);
    select coalesce(sum(j.time), 0) into hours from accounts_dep.smena j
    where j.w_id = w and j.smena = s and j.data = dt;
    if hours > 32767 or hours < -32768 then
        raise exception 'Часы работника за % в смене % составили бы %, а табель вмещает не больше 32767 часов в день. '
                        'Действие не выполнено.', to_char(dt, 'DD.MM.YYYY'), s, hours using errcode = 'KM003';
    end if;
    execute format('update accounts_dep.h_tabel set d%s = $1 where w_id = $2 and smena = $3 and month = $4 '
                   'and year = $5', extract(day from dt)) using hours, w, s, m, y;
    get diagnostics updated = row_count;
    if updated = 0 and (add_row or hours <> 0) then
        execute format('insert into accounts_dep.h_tabel (smena, w_id, month, year, d%s) values ($1, $2, $3, $4, $5)',
                       extract(day from dt)) using s, w, m, y, hours;
    end if;
    return hours;
end $$;

-- A month rebuilt from the journal: its rows of every shift go, and one row per worker and shift with journal rows in
-- the month comes back, each day the sum of that day's hours (0 when none). Returns the rows written.
create function accounts_dep.rebuild_timesheet_month(m integer, y integer) returns integer language plpgsql as $$
declare
    first date;
    cols text := '';
    sums text := '';
    written integer;
begin
    if m is null or y is null or m not between 1 and 12 or y not between 1 and 9999 then
        raise exception 'Недопустимый месяц табеля: %.%', m, y using errcode = 'invalid_parameter_value';
    end if;
    first := make_date(y, m, 1);
    perform pg_advisory_xact_lock(1263796224, y * 100 + m);
    delete from accounts_dep.h_tabel where month = m and year = y;
    for d in 1..31 loop
        cols := cols || ', d' || d;
        if first + (d - 1) < first + interval '1 month' then
            sums := sums || format(', coalesce(sum(time) filter (where data = %L::date), 0)', first + (d - 1));
        else
            sums := sums || ', 0';
        end if;
    end loop;
    execute format('insert into accounts_dep.h_tabel (smena, w_id, month, year%s) select smena, w_id, %s, %s%s '
                   'from accounts_dep.smena where data >= %L::date and data < %L::date group by smena, w_id',
                   cols, m, y, sums, first, (first + interval '1 month')::date);
    get diagnostics written = row_count;
    return written;
end $$;

-- Workers as the program sees them: every person, with its key as an integer.
-- Plain column mapping keeps the view updatable: inserts, updates and deletes reach cmn_contractor.person.
create view accounts_dep.person as
    select p.id::integer as id, p.s_caption as fio, p.s_staffpos_hl
    from cmn_contractor.person p;

-- Products as the program sees them: the grade code is the goods caption; the name falls back to it.
create view accounts_dep.izdel as
    select g.id, g.s_caption as marka, coalesce(nullif(btrim(g.s_name), ''), g.s_caption)::varchar(255) as nom,
           g.massa, g.id_class_item
    from cmn_gds_and_srv.gds_and_srv g;

-- A worker or an operation kind that the journal still uses is never deleted: the journal, the timesheet and the
-- reports join on them, and their rows would vanish from every window. The refusal is a foreign-key violation,
-- which the program turns into its message.
-- A change that refers to a worker, an operation or a kind holds an advisory lock on it shared until it commits
-- (class 0x4B500000 + 1 worker, 2 operation, 3 product, 4 kind; the key is the row's id). The guards take it exclusive before
-- they look for uses, so a use that is not committed yet makes them wait and then refuse, and a change that
-- waited for them finds the row gone. The statements after the lock see what committed meanwhile.
create function accounts_dep.person_in_journal() returns trigger language plpgsql as $$
begin
    if old.id between -2147483648 and 2147483647 then
        perform pg_advisory_xact_lock(1263534081, old.id::integer);
    end if;
    if old.s_code ~ '^\s*[0-9]{1,9}\s*$' and btrim(old.s_code)::integer <> old.id then
        perform pg_advisory_xact_lock(1263534081, btrim(old.s_code)::integer);
    end if;
    if exists (select 1 from accounts_dep.smena s
               where s.w_id = old.id
                  or (old.s_code ~ '^\s*[0-9]{1,9}\s*$' and s.w_id = btrim(old.s_code)::integer)) then
        raise exception 'Работник % используется в журнале', old.s_caption
            using errcode = 'foreign_key_violation', constraint = 'person_in_journal';
    end if;
    return old;
end $$;
create trigger person_in_journal before delete on cmn_contractor.person
    for each row execute function accounts_dep.person_in_journal();

create function accounts_dep.vid_oper_in_use() returns trigger language plpgsql as $$
begin
    perform pg_advisory_xact_lock(1263534084, old.id);
    if exists (select 1 from accounts_dep.oper o where o.vid = old.id) then
        raise exception 'Вид операции % используется в операциях', old.vid
            using errcode = 'foreign_key_violation', constraint = 'vid_oper_in_use';
    end if;
    return old;
end $$;
create trigger vid_oper_in_use before delete on accounts_dep.vid_oper
    for each row execute function accounts_dep.vid_oper_in_use();

-- An operation that journal rows use is never deleted either (the program asks the same before it deletes one
-- with its norms; this holds for any other client too).
create function accounts_dep.oper_in_journal() returns trigger language plpgsql as $$
begin
    perform pg_advisory_xact_lock(1263534082, old.id);
    if exists (select 1 from accounts_dep.smena s where s.o_id = old.id) then
        raise exception 'Операция % используется в журнале', old.id
            using errcode = 'foreign_key_violation', constraint = 'oper_in_journal';
    end if;
    return old;
end $$;
create trigger oper_in_journal before delete on accounts_dep.oper
    for each row execute function accounts_dep.oper_in_journal();

-- Nor a product that journal rows use (no window would show those rows any more).
create function accounts_dep.product_in_journal() returns trigger language plpgsql as $$
begin
    if old.id between -2147483648 and 2147483647 then
        perform pg_advisory_xact_lock(1263534083, old.id::integer);
    end if;
    if exists (select 1 from accounts_dep.smena s where s.i_id = old.id) then
        raise exception 'Изделие % используется в журнале', old.s_caption
            using errcode = 'foreign_key_violation', constraint = 'product_in_journal';
    end if;
    return old;
end $$;
create trigger product_in_journal before delete on cmn_gds_and_srv.gds_and_srv
    for each row execute function accounts_dep.product_in_journal();

-- Every committed change of the journal, the timesheet and the catalogues is announced, whoever makes it, so that
-- open windows on other workstations read again what they show. Notifications go out at the commit only (none for
-- a rolled-back change), once per distinct payload and transaction:
--   kesta_journal    'YYYY-MM-DD/S'   a day and shift of the journal
--   kesta_timesheet  'YYYY-MM'        a month of the timesheet
--   kesta_catalogue  workers | products | kinds | operations
create function accounts_dep.announce_journal() returns trigger language plpgsql as $$
begin
    if tg_op in ('INSERT', 'UPDATE') then
        perform pg_notify('kesta_journal', to_char(data, 'YYYY-MM-DD') || '/' || smena)
        from (select distinct data, smena from new_rows) d;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        perform pg_notify('kesta_journal', to_char(data, 'YYYY-MM-DD') || '/' || smena)
        from (select distinct data, smena from old_rows) d;
    end if;
    return null;
end $$;
create trigger announce_journal_insert after insert on accounts_dep.smena
    referencing new table as new_rows for each statement execute function accounts_dep.announce_journal();
create trigger announce_journal_update after update on accounts_dep.smena
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.announce_journal();
create trigger announce_journal_delete after delete on accounts_dep.smena
    referencing old table as old_rows for each statement execute function accounts_dep.announce_journal();

create function accounts_dep.announce_timesheet() returns trigger language plpgsql as $$
begin
    if tg_op in ('INSERT', 'UPDATE') then
        perform pg_notify('kesta_timesheet', year || '-' || lpad(month::text, 2, '0'))
        from (select distinct year, month from new_rows) m;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        perform pg_notify('kesta_timesheet', year || '-' || lpad(month::text, 2, '0'))
        from (select distinct year, month from old_rows) m;
    end if;
    return null;
end $$;
create trigger announce_timesheet_insert after insert on accounts_dep.h_tabel
    referencing new table as new_rows for each statement execute function accounts_dep.announce_timesheet();
create trigger announce_timesheet_update after update on accounts_dep.h_tabel
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.announce_timesheet();
create trigger announce_timesheet_delete after delete on accounts_dep.h_tabel
    referencing old table as old_rows for each statement execute function accounts_dep.announce_timesheet();

create function accounts_dep.announce_catalogue() returns trigger language plpgsql as $$
begin
    perform pg_notify('kesta_catalogue', tg_argv[0]);
    return null;
end $$;
create trigger announce_workers after insert or update or delete on cmn_contractor.person
    for each statement execute function accounts_dep.announce_catalogue('workers');
create trigger announce_products after insert or update or delete on cmn_gds_and_srv.gds_and_srv
    for each statement execute function accounts_dep.announce_catalogue('products');
create trigger announce_kinds after insert or update or delete on accounts_dep.vid_oper
    for each statement execute function accounts_dep.announce_catalogue('kinds');
create trigger announce_operations after insert or update or delete on accounts_dep.oper
    for each statement execute function accounts_dep.announce_catalogue('operations');
create trigger announce_norms after insert or update or delete on accounts_dep.norm
    for each statement execute function accounts_dep.announce_catalogue('operations');

-- Closed months: once a month's wages are paid its journal rows and timesheet cells do not change, whoever tries
-- (the program, psql, an old build). The program's full-access role closes and reopens a month; an administrator
-- may do the same here:
--   insert into accounts_dep.closed_month (year, month) values (2026, 10);   -- close October 2026
--   delete from accounts_dep.closed_month where year = 2026 and month = 10;  -- open it again
create table accounts_dep.closed_month (
    year      smallint not null,
    month     smallint not null check (month between 1 and 12),
    closed_at timestamp not null default now(),
    closed_by text not null default session_user,
    primary key (year, month)
);

-- Closing a month waits for every change of that month under way, and a change that comes after it is refused: the
-- guards below take the month's lock shared (held to the commit) before they look at closed_month, and closing takes
-- it exclusive. The wait is bounded (the session's lock_timeout, 10 s when it has none) and said in words (KM004).
-- When and by whom are the database's: the time of the close and the login that made it.
create function accounts_dep.closing_month() returns trigger language plpgsql as $$
begin
    if current_setting('lock_timeout') in ('0', '') then
        perform set_config('lock_timeout', '10s', true);
    end if;
    begin
        perform pg_advisory_xact_lock(1263796224, new.year * 100 + new.month);
    exception when lock_not_available then
        raise exception 'Месяц %.% не закрыт: его журнал или табель сейчас меняют на другом рабочем месте. Повторите '
                        'через несколько секунд.', lpad(new.month::text, 2, '0'), new.year using errcode = 'KM004';
    end;
    new.closed_at := now();
    new.closed_by := session_user;
    return new;
end $$;
create trigger closing_month before insert or update on accounts_dep.closed_month
    for each row execute function accounts_dep.closing_month();

-- The refusal names the month; SQLSTATE KM001 lets the program tell it from other failures.
create function accounts_dep.refuse_closed(y integer, m integer) returns void language plpgsql as $$
begin
    raise exception 'Месяц %.% закрыт: журнал и табель этого месяца не меняются.', lpad(m::text, 2, '0'), y
        using errcode = 'KM001';
end $$;

create function accounts_dep.journal_month_open() returns trigger language plpgsql as $$
declare
    c record;
begin
    -- Each branch reads only the transition tables its event declares. The months' locks first, in one order.
    if tg_op in ('INSERT', 'UPDATE') then
        perform pg_advisory_xact_lock_shared(1263796224, k)
        from (select distinct (extract(year from r.data) * 100 + extract(month from r.data))::integer k
              from new_rows r where r.data is not null order by 1) ks;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        perform pg_advisory_xact_lock_shared(1263796224, k)
        from (select distinct (extract(year from r.data) * 100 + extract(month from r.data))::integer k
              from old_rows r where r.data is not null order by 1) ks;
    end if;
    if tg_op in ('INSERT', 'UPDATE') then
        select c2.year, c2.month into c from accounts_dep.closed_month c2
        where exists (select 1 from new_rows r where extract(year from r.data) = c2.year
                                                 and extract(month from r.data) = c2.month)
        limit 1;
        if found then
            perform accounts_dep.refuse_closed(c.year, c.month);
        end if;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        select c2.year, c2.month into c from accounts_dep.closed_month c2
        where exists (select 1 from old_rows r where extract(year from r.data) = c2.year
                                                 and extract(month from r.data) = c2.month)
        limit 1;
        if found then
            perform accounts_dep.refuse_closed(c.year, c.month);
        end if;
    end if;
    return null;
end $$;
create trigger journal_month_open_insert after insert on accounts_dep.smena
    referencing new table as new_rows for each statement execute function accounts_dep.journal_month_open();
create trigger journal_month_open_update after update on accounts_dep.smena
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.journal_month_open();
create trigger journal_month_open_delete after delete on accounts_dep.smena
    referencing old table as old_rows for each statement execute function accounts_dep.journal_month_open();

create function accounts_dep.timesheet_month_open() returns trigger language plpgsql as $$
declare
    c record;
begin
    if tg_op in ('INSERT', 'UPDATE') then
        perform pg_advisory_xact_lock_shared(1263796224, k)
        from (select distinct r.year * 100 + r.month k from new_rows r
              where r.year is not null and r.month is not null order by 1) ks;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        perform pg_advisory_xact_lock_shared(1263796224, k)
        from (select distinct r.year * 100 + r.month k from old_rows r
              where r.year is not null and r.month is not null order by 1) ks;
    end if;
    if tg_op in ('INSERT', 'UPDATE') then
        select c2.year, c2.month into c from accounts_dep.closed_month c2
        where exists (select 1 from new_rows r where r.year = c2.year and r.month = c2.month) limit 1;
        if found then
            perform accounts_dep.refuse_closed(c.year, c.month);
        end if;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        select c2.year, c2.month into c from accounts_dep.closed_month c2
        where exists (select 1 from old_rows r where r.year = c2.year and r.month = c2.month) limit 1;
        if found then
            perform accounts_dep.refuse_closed(c.year, c.month);
        end if;
    end if;
    return null;
end $$;
create trigger timesheet_month_open_insert after insert on accounts_dep.h_tabel
    referencing new table as new_rows for each statement execute function accounts_dep.timesheet_month_open();
create trigger timesheet_month_open_update after update on accounts_dep.h_tabel
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.timesheet_month_open();
create trigger timesheet_month_open_delete after delete on accounts_dep.h_tabel
    referencing old table as old_rows for each statement execute function accounts_dep.timesheet_month_open();

-- Emptying the journal, the timesheet or the history at one stroke passes no row trigger: it is refused while a closed
-- month has rows there (the owner opens the month first).
create function accounts_dep.truncate_closed() returns trigger language plpgsql as $$
declare
    c record;
begin
    select c2.year, c2.month into c from accounts_dep.closed_month c2
    where case tg_table_name
              when 'smena' then exists (select 1 from accounts_dep.smena r
                                        where r.data >= make_date(c2.year, c2.month, 1)
                                          and r.data < make_date(c2.year, c2.month, 1) + interval '1 month')
              when 'h_tabel' then exists (select 1 from accounts_dep.h_tabel r
                                          where r.year = c2.year and r.month = c2.month)
              else exists (select 1 from accounts_dep.smena_history r
                           where r.day >= make_date(c2.year, c2.month, 1)
                             and r.day < make_date(c2.year, c2.month, 1) + interval '1 month')
          end
    limit 1;
    if found then
        perform accounts_dep.refuse_closed(c.year, c.month);
    end if;
    return null;
end $$;
create trigger truncate_closed before truncate on accounts_dep.smena
    for each statement execute function accounts_dep.truncate_closed();
create trigger truncate_closed before truncate on accounts_dep.h_tabel
    for each statement execute function accounts_dep.truncate_closed();

-- The group role a login acts in (the highest of the four it belongs to), as the server knows it.
create function accounts_dep.login_group() returns text language sql stable as $$
    select g.name from unnest(array['kesta_full', 'kesta_warehouse', 'kesta_foreman', 'kesta_reporting'])
                       with ordinality g(name, rank)
    -- (a group not made yet, on a database where db/roles.sql has not run, is none: the case keeps the server from
    -- asking about a role that does not exist, which would fail the change being recorded)
    where case when exists (select 1 from pg_catalog.pg_roles r where r.rolname = g.name)
               then pg_catalog.pg_has_role(session_user, g.name, 'MEMBER') else false end
      and not (select r.rolsuper from pg_catalog.pg_roles r where r.rolname = session_user)
    order by g.rank limit 1
$$;

-- A journal row's history: every insert, change (acceptance included) and deletion, with the row before and after,
-- when, and who: what the program claims (its role and workstation, the session settings kesta.role and kesta.host)
-- beside what the server saw (the login, its group role, the address it connected from; none for a local socket).
-- The closing and opening of a month are kept here too (row 0, action C or O, the month's first day).
create table accounts_dep.smena_history (
    id         bigserial primary key,
    row_id     integer not null,
    action     char(1) not null, -- I inserted, U changed, D deleted; C month closed, O month opened
    changed_at timestamp not null default clock_timestamp(),
    role       text,
    host       text,
    login      text not null default session_user,
    login_group text default accounts_dep.login_group(),
    address    inet default inet_client_addr(),
    day        date, -- the row's date (after the change; before it for a deletion)
    old_row    jsonb,
    new_row    jsonb,
    undoes     bigint -- a restored row's insert: the history row of the deletion it undoes
);
create index smena_history_row_idx on accounts_dep.smena_history (row_id, id);
create index smena_history_day_idx on accounts_dep.smena_history (day) where action = 'D';
-- A deletion is undone once.
create unique index smena_history_undoes_idx on accounts_dep.smena_history (undoes) where undoes is not null;

-- What a restore may write: the row of the deletion it names, with its id, worker, product, operation, day, shift,
-- colour, quantity, rejects, hours and price as they were, not accepted, not yet restored, by a login that may
-- delete journal rows. The other rules of a row (its worker, product and operation exist; the month is open; the
-- timesheet follows) apply as to every row.
create function accounts_dep.restore_allowed(r accounts_dep.smena) returns void language plpgsql as $$
declare
    deletion bigint;
    was jsonb;
begin
    begin
        deletion := current_setting('kesta.restores')::bigint;
    exception when others then
        raise exception 'Удаление, которое отменяет восстановление, указано неверно: %.',
            current_setting('kesta.restores', true) using errcode = 'invalid_parameter_value';
    end;
    if not has_table_privilege(current_user, 'accounts_dep.smena', 'DELETE') then
        raise exception 'Восстанавливать удалённые записи журнала может только полный доступ.'
            using errcode = 'insufficient_privilege';
    end if;
    select h.old_row into was from accounts_dep.smena_history h
    where h.id = deletion and h.action = 'D' and h.row_id = r.id;
    if was is null then
        raise exception 'Удалённая запись журнала % не найдена в истории.', r.id
            using errcode = 'check_violation', constraint = 'smena_row_restore';
    end if;
    if exists (select 1 from accounts_dep.smena_history h where h.undoes = deletion) then
        raise exception 'Удалённая запись журнала % уже восстановлена.', r.id
            using errcode = 'check_violation', constraint = 'smena_row_restore';
    end if;
    if r.ok is distinct from 'no'
       or (was->>'w_id')::integer is distinct from r.w_id or (was->>'i_id')::integer is distinct from r.i_id
       or (was->>'o_id')::integer is distinct from r.o_id or (was->>'data')::date is distinct from r.data
       or (was->>'smena')::integer is distinct from r.smena::integer
       or (was->>'color')::numeric is distinct from r.color::numeric
       or (was->>'kol_vo')::numeric is distinct from r.kol_vo::numeric
       or (was->>'brak')::numeric is distinct from r.brak::numeric
       or (was->>'time')::numeric is distinct from r.time::numeric
       or r.cena is null or abs((was->>'cena')::numeric - r.cena::numeric) > 0.0000501 then
        raise exception 'Восстанавливаемая запись журнала % не совпадает с удалённой.', r.id
            using errcode = 'check_violation', constraint = 'smena_row_restore';
    end if;
end $$;

create function accounts_dep.smena_history_insert() returns trigger language plpgsql as $$
begin
    insert into accounts_dep.smena_history (row_id, action, role, host, day, new_row, undoes)
    select n.id, 'I', current_setting('kesta.role', true), current_setting('kesta.host', true), n.data, to_jsonb(n),
           nullif(current_setting('kesta.restores', true), '')::bigint
    from new_rows n;
    return null;
end $$;
create function accounts_dep.smena_history_update() returns trigger language plpgsql as $$
begin
    insert into accounts_dep.smena_history (row_id, action, role, host, day, old_row, new_row)
    select n.id, 'U', current_setting('kesta.role', true), current_setting('kesta.host', true), n.data, to_jsonb(o),
           to_jsonb(n)
    from new_rows n join old_rows o on o.id = n.id
    where to_jsonb(o) <> to_jsonb(n);
    return null;
end $$;
create function accounts_dep.smena_history_delete() returns trigger language plpgsql as $$
begin
    insert into accounts_dep.smena_history (row_id, action, role, host, day, old_row)
    select o.id, 'D', current_setting('kesta.role', true), current_setting('kesta.host', true), o.data, to_jsonb(o)
    from old_rows o;
    return null;
end $$;
create trigger smena_history_insert after insert on accounts_dep.smena
    referencing new table as new_rows for each statement execute function accounts_dep.smena_history_insert();
create trigger smena_history_update after update on accounts_dep.smena
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.smena_history_update();
create trigger smena_history_delete after delete on accounts_dep.smena
    referencing old table as old_rows for each statement execute function accounts_dep.smena_history_delete();
create trigger truncate_closed before truncate on accounts_dep.smena_history
    for each statement execute function accounts_dep.truncate_closed();

create function accounts_dep.month_history() returns trigger language plpgsql as $$
begin
    if tg_op = 'INSERT' then
        insert into accounts_dep.smena_history (row_id, action, role, host, day)
        values (0, 'C', current_setting('kesta.role', true), current_setting('kesta.host', true),
                make_date(new.year, new.month, 1));
    else
        insert into accounts_dep.smena_history (row_id, action, role, host, day)
        values (0, 'O', current_setting('kesta.role', true), current_setting('kesta.host', true),
                make_date(old.year, old.month, 1));
    end if;
    return null;
end $$;
create trigger month_history after insert or delete on accounts_dep.closed_month
    for each row execute function accounts_dep.month_history();

-- The history of prices and norms: every insert, change and deletion of an operation (its kind, product and price)
-- and of its norms, with the row before and after, when and who, like the journal's. oper_id is the operation the
-- row belongs to (the operation's own id, a norm's o_id), so that an operation's prices and norms read together.
create table accounts_dep.price_history (
    id          bigserial primary key,
    source      text not null, -- oper or norm
    row_id      integer not null,
    oper_id     integer,
    action      char(1) not null, -- I inserted, U changed, D deleted
    changed_at  timestamp not null default clock_timestamp(),
    role        text,
    host        text,
    login       text not null default session_user,
    login_group text default accounts_dep.login_group(),
    address     inet default inet_client_addr(),
    old_row     jsonb,
    new_row     jsonb
);
create index price_history_oper_idx on accounts_dep.price_history (oper_id, id);

create function accounts_dep.price_history() returns trigger language plpgsql as $$
declare
    owner_key text := case tg_table_name when 'norm' then 'o_id' else 'id' end;
begin
    if tg_op = 'INSERT' then
        insert into accounts_dep.price_history (source, row_id, oper_id, action, role, host, new_row)
        select tg_table_name, (n->>'id')::integer, (n->>owner_key)::integer, 'I', current_setting('kesta.role', true),
               current_setting('kesta.host', true), n
        from (select to_jsonb(r) n from new_rows r) x;
    elsif tg_op = 'UPDATE' then
        insert into accounts_dep.price_history (source, row_id, oper_id, action, role, host, old_row, new_row)
        select tg_table_name, (n->>'id')::integer, (n->>owner_key)::integer, 'U', current_setting('kesta.role', true),
               current_setting('kesta.host', true), o, n
        from (select to_jsonb(r) n from new_rows r) x join (select to_jsonb(r) o from old_rows r) y
             on y.o->'id' = x.n->'id'
        where o <> n;
    else
        insert into accounts_dep.price_history (source, row_id, oper_id, action, role, host, old_row)
        select tg_table_name, (o->>'id')::integer, (o->>owner_key)::integer, 'D', current_setting('kesta.role', true),
               current_setting('kesta.host', true), o
        from (select to_jsonb(r) o from old_rows r) y;
    end if;
    return null;
end $$;
create trigger price_history_insert after insert on accounts_dep.oper
    referencing new table as new_rows for each statement execute function accounts_dep.price_history();
create trigger price_history_update after update on accounts_dep.oper
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.price_history();
create trigger price_history_delete after delete on accounts_dep.oper
    referencing old table as old_rows for each statement execute function accounts_dep.price_history();
create trigger price_history_insert after insert on accounts_dep.norm
    referencing new table as new_rows for each statement execute function accounts_dep.price_history();
create trigger price_history_update after update on accounts_dep.norm
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.price_history();
create trigger price_history_delete after delete on accounts_dep.norm
    referencing old table as old_rows for each statement execute function accounts_dep.price_history();

-- A month closed or opened again is announced, so that every window showing it follows at once (its caption, and
-- the buttons that change rows):
--   kesta_month      'YYYY-MM'        a month closed or opened
create function accounts_dep.announce_month() returns trigger language plpgsql as $$
begin
    if tg_op in ('INSERT', 'UPDATE') then
        perform pg_notify('kesta_month', year || '-' || lpad(month::text, 2, '0'))
        from (select distinct year, month from new_rows) m;
    end if;
    if tg_op in ('DELETE', 'UPDATE') then
        perform pg_notify('kesta_month', year || '-' || lpad(month::text, 2, '0'))
        from (select distinct year, month from old_rows) m;
    end if;
    return null;
end $$;
create trigger announce_month_insert after insert on accounts_dep.closed_month
    referencing new table as new_rows for each statement execute function accounts_dep.announce_month();
create trigger announce_month_update after update on accounts_dep.closed_month
    referencing old table as old_rows new table as new_rows for each statement
    execute function accounts_dep.announce_month();
create trigger announce_month_delete after delete on accounts_dep.closed_month
    referencing old table as old_rows for each statement execute function accounts_dep.announce_month();
