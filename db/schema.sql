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
-- (class 0x4B500000 + 1 worker, 2 operation, 4 kind; the key is the row's id). The guards take it exclusive before
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
    closed_by text not null default coalesce(nullif(current_setting('kesta.role', true), ''), session_user),
    primary key (year, month)
);

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
    -- Each branch reads only the transition tables its event declares.
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

-- A journal row's history: every insert, change (acceptance included) and deletion, with the row before and after,
-- when, and who: the program's role and workstation (session settings kesta.role and kesta.host, which the program
-- sets) and the login.
create table accounts_dep.smena_history (
    id         bigserial primary key,
    row_id     integer not null,
    action     char(1) not null, -- I inserted, U changed, D deleted
    changed_at timestamp not null default clock_timestamp(),
    role       text,
    host       text,
    login      text not null default session_user,
    day        date, -- the row's date (after the change; before it for a deletion)
    old_row    jsonb,
    new_row    jsonb
);
create index smena_history_row_idx on accounts_dep.smena_history (row_id, id);
create index smena_history_day_idx on accounts_dep.smena_history (day) where action = 'D';

create function accounts_dep.smena_history_insert() returns trigger language plpgsql as $$
begin
    insert into accounts_dep.smena_history (row_id, action, role, host, day, new_row)
    select n.id, 'I', current_setting('kesta.role', true), current_setting('kesta.host', true), n.data, to_jsonb(n)
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
