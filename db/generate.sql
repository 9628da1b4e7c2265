-- Fills a database that has db/schema.sql loaded and nothing else with the data of a working shop:
-- departments, staff positions, roles, product groups, workers, products, operations with their norms,
-- the journal of processed pieces and the hours timesheet that matches it.
--
--   psql -d DB -v scale=demo  -f db/generate.sql   about 30 workers, the previous month up to today
--   psql -d DB -v scale=large -f db/generate.sql   300 workers, five years up to today, over a million rows
--   psql -d DB -v scale=large -v factor=10 -v years=50 -f db/generate.sql
--        the large scale with ten times its workers and products (a plant: 3,000 workers on three shifts) and/or
--        fifty years of journal instead of five; each of the two makes about ten times the rows
--
-- Dates count back from current_date, so the journal always reaches today (every shift of today has rows).
-- accounts_dep.ver stays empty: the program writes its build stamp there on its first start.
-- Everything is set-based (generate_series and arrays), so even the large scale takes well under a minute.
\set ON_ERROR_STOP on
\if :{?scale}
\else
\set scale demo
\endif
set client_min_messages = warning;
-- The plpgsql blocks below read the scale from a setting: psql does not substitute variables inside $$.
set kesta.scale = :'scale';
\if :{?factor}
\else
\set factor 1
\endif
\if :{?years}
\else
\set years 5
\endif
set kesta.factor = :'factor';
set kesta.years = :'years';
-- One backend and a fixed seed: the same scale run on the same day gives the same data.
set max_parallel_workers_per_gather = 0;
select setseed(0.2718) \gset

begin;

do $$
begin
    if current_setting('kesta.scale') not in ('demo', 'large') then
        raise exception 'scale must be demo or large, not "%"', current_setting('kesta.scale');
    end if;
    if current_setting('kesta.factor') !~ '^[0-9]{1,2}$' or current_setting('kesta.factor')::int not between 1 and 10
       or current_setting('kesta.years') !~ '^[0-9]{1,3}$' or current_setting('kesta.years')::int not between 2 and 100
    then
        raise exception 'factor must be 1 to 10 and years 2 to 100, not "%" and "%"',
            current_setting('kesta.factor'), current_setting('kesta.years');
    end if;
    if exists (select 1 from cmn_contractor.person) or exists (select 1 from accounts_dep.smena)
       or exists (select 1 from cmn_gds_and_srv.gds_and_srv) then
        raise exception 'the database already has data; generate into a database with only the schema loaded';
    end if;
end $$;

create temp table gen_param on commit drop as
select s.*
from (values
    -- scale, workers, products, first journal day,
    -- chance a worker is at work on a weekday / at the weekend, most journal rows per worker and shift,
    -- share of weekdays with overtime (shift 4), share of the day's workers who stay for it
    ('demo',  30,  40, (date_trunc('month', current_date) - interval '1 month')::date, 0.70, 0.12, 2, 0.40, 0.15),
    ('large', 300 * current_setting('kesta.factor')::int, 120 * current_setting('kesta.factor')::int,
              (current_date - make_interval(years => current_setting('kesta.years')::int))::date,
                                                                                         0.85, 0.12, 6, 0.40, 0.10)
) as s(scale, workers, products, first_day, p_weekday, p_weekend, max_rows, p_overtime_day, p_overtime)
where s.scale = current_setting('kesta.scale');

-- Departments and the operation kinds their workers do.
create temp table gen_dept on commit drop as
select * from (values
    (1, '01', 'Цех покраски',     array['ГРУНТОВКА', 'КРАСКА', 'ЗАЧИСТКА', 'ШЛИФОВКА']),
    (2, '02', 'Механический цех', array['РЕЗКА', 'ГИБКА', 'СВАРКА', 'СВЕРЛОВКА', 'ФРЕЗЕРОВКА', 'ЗАЧИСТКА', 'ШЛИФОВКА']),
    (3, '03', 'Сборочный цех',    array['СБОРКА', 'СВАРКА', 'СВЕРЛОВКА', 'КОНТРОЛЬ', 'УПАКОВКА']),
    (4, '04', 'Склад',            array['УПАКОВКА', 'КОНТРОЛЬ'])
) as d(no, code, caption, kinds);

insert into cmn_department.department (id_branch, s_code, s_caption, s_description, id_parent)
select 1, code, caption, '', null from gen_dept order by no;

insert into hrms_staffpos.staffpos (id_department, s_code, s_caption, d_begin, d_end, s_description)
select dep.id, lpad(row_number() over (order by d.no, s.ord)::text, 3, '0'), s.caption,
       date '2015-01-01', null, ''
from (values
    (1, 1, 'Маляр'), (1, 2, 'Мастер смены'),
    (2, 1, 'Токарь'), (2, 2, 'Фрезеровщик'), (2, 3, 'Сварщик'), (2, 4, 'Мастер смены'),
    (3, 1, 'Сборщик'), (3, 2, 'Слесарь-сборщик'), (3, 3, 'Мастер смены'),
    (4, 1, 'Кладовщик'), (4, 2, 'Упаковщик')
) as s(dept_no, ord, caption)
join gen_dept d on d.no = s.dept_no
join cmn_department.department dep on dep.s_caption = d.caption
order by d.no, s.ord;

insert into adm_role.roles (s_name, s_caption, d_begin, d_end, b_active)
values ('admin',    'Администратор',  date '2015-01-01', null, 'true'),
       ('master',   'Мастер участка', date '2015-01-01', null, 'true'),
       ('normirovshik', 'Нормировщик', date '2015-01-01', null, 'true'),
       ('buh',      'Бухгалтер',      date '2015-01-01', null, 'true'),
       ('viewer',   'Просмотр',       date '2015-01-01', null, 'true');

-- Product groups: one root item and the groups under it.
insert into cmn_classifier.item (id_classifier, id_level, s_code, s_caption, s_description, b_excluded, id_parent)
values (1, 1, '1', 'Продукция цеха', '', 'false', null);

create temp table gen_group on commit drop as
select * from (values
    -- group, share of products in tenths, grade prefixes, product names
    (1, 'Двери', 4, array['ДМ', 'ДП', 'ДТ'],
        array['Дверь металлическая однопольная', 'Дверь металлическая двупольная', 'Дверь противопожарная EI-60',
              'Дверь техническая', 'Дверь входная утеплённая', 'Люк ревизионный']),
    (2, 'Окна', 2, array['ОК', 'ОП'],
        array['Окно ПВХ одностворчатое', 'Окно ПВХ двустворчатое', 'Окно алюминиевое',
              'Блок балконный', 'Фрамуга глухая']),
    (3, 'Ворота', 2, array['ВР', 'ВС', 'ВО'],
        array['Ворота распашные', 'Ворота секционные', 'Ворота откатные', 'Калитка', 'Ворота гаражные подъёмные']),
    (4, 'Заготовки металлические', 2, array['ЗГ', 'ЛС'],
        array['Заготовка рамы', 'Лист гнутый', 'Профиль сварной', 'Кронштейн', 'Уголок усиленный', 'Петля приварная'])
) as g(no, caption, tenths, prefixes, names);

insert into cmn_classifier.item (id_classifier, id_level, s_code, s_caption, s_description, b_excluded, id_parent)
select 1, 2, '1.' || g.no, g.caption, '', 'false', r.id
from gen_group g, cmn_classifier.item r
where r.id_level = 1
order by g.no;

-- Workers. Candidates are every surname (male or female form) with every pair of initials; a hash orders
-- them, 70 % men as in a metal shop. Surnames that do not change with sex (Шевченко) are taken in the male
-- form only, so every fio is distinct.
create temp table gen_fio on commit drop as
with sur(male) as (
    select unnest(array[
        'Иванов', 'Петров', 'Сидоров', 'Смирнов', 'Кузнецов', 'Попов', 'Васильев', 'Соколов', 'Михайлов',
        'Новиков', 'Фёдоров', 'Морозов', 'Волков', 'Алексеев', 'Лебедев', 'Семёнов', 'Егоров', 'Павлов',
        'Козлов', 'Степанов', 'Николаев', 'Орлов', 'Андреев', 'Макаров', 'Никитин', 'Захаров', 'Зайцев',
        'Соловьёв', 'Борисов', 'Яковлев', 'Григорьев', 'Романов', 'Воробьёв', 'Сергеев', 'Кузьмин', 'Фролов',
        'Дмитриев', 'Королёв', 'Гусев', 'Киселёв', 'Ильин', 'Максимов', 'Поляков', 'Сорокин', 'Виноградов',
        'Ковалёв', 'Белов', 'Медведев', 'Антонов', 'Тарасов', 'Жуков', 'Баранов', 'Филиппов', 'Комаров',
        'Давыдов', 'Беляев', 'Герасимов', 'Богданов', 'Осипов', 'Вишневский', 'Островский', 'Шевченко',
        'Ковальчук', 'Бондаренко', 'Мельник', 'Крылов', 'Пономарёв', 'Гаврилов', 'Шубин', 'Лазарев'])
),
cand as (
    select
           case when f then
               case when s.male like '%ский' then left(s.male, -2) || 'ая'
                    when s.male ~ '(ов|ев|ёв|ин|ын)$' then s.male || 'а'
                    else s.male end
           else s.male end || ' ' || i1 || '.' || i2 || '.' as fio,
           f as female
    from sur s
    cross join (values (false), (true)) as g(f)
    cross join unnest(array['А', 'Б', 'В', 'Г', 'Д', 'Е', 'З', 'И', 'К', 'Л', 'М', 'Н', 'О', 'П', 'Р', 'С', 'Т', 'Ю', 'Я']) as a(i1)
    cross join unnest(array['А', 'Б', 'В', 'Г', 'Д', 'Е', 'И', 'К', 'Л', 'М', 'Н', 'О', 'П', 'Р', 'С', 'Ф', 'Ю']) as b(i2)
    where not (f and i1 in ('Б', 'К', 'Ю')) and not (not f and i1 in ('З', 'Я'))
      and not (f and s.male !~ '(ов|ев|ёв|ин|ын|ский)$')
),
ranked as (
    select fio, female, row_number() over (partition by female order by md5(fio)) as rn from cand
)
select fio, row_number() over (order by md5(fio || 'w')) as ord
from ranked, gen_param p
where (not female and rn <= round(p.workers * 0.7)) or (female and rn <= p.workers - round(p.workers * 0.7));

-- Of every twenty workers 7 are in the mechanical shop, 6 in assembly, 5 in painting and 2 in the store;
-- the slots interleave so that every department has workers even in a small shop.
insert into accounts_dep.person (fio, s_staffpos_hl)
select f.fio, d.caption
from gen_fio f
join gen_dept d on d.no = (array[2, 3, 1, 2, 3, 1, 2, 4, 3, 2, 1, 3, 2, 1, 3, 2, 4, 1, 2, 3])[1 + (f.ord - 1) % 20]
order by f.ord;

-- Teams: of every seven workers three change weekly between shifts 1 and 2, three the other way round,
-- one works shift 3. The first of each team (by number) is the one who is always there today.
create temp table gen_worker on commit drop as
with w as (
    select p.id::integer as id, d.no as dept, row_number() over (order by p.id) as ord
    from cmn_contractor.person p join gen_dept d on d.caption = p.s_staffpos_hl
)
select id, dept,
       case when (ord - 1) % 7 < 3 then 1 when (ord - 1) % 7 < 6 then 2 else 3 end as team,
       row_number() over (partition by case when (ord - 1) % 7 < 3 then 1 when (ord - 1) % 7 < 6 then 2 else 3 end
                          order by ord) as team_rank
from w;

-- Products: grade codes carry the group's prefix and a distinct number (37 is prime to 900 and to 9,000, so the
-- numbers never repeat; four digits once there are more than 900 products); every fifth has a variant suffix.
create temp table gen_product on commit drop as
with n as (
    select i, p.products as total, (select g.no from gen_group g
               where (i * 7) % 10 < (select sum(g2.tenths) from gen_group g2 where g2.no <= g.no)
               order by g.no limit 1) as grp
    from gen_param p, generate_series(1, p.products) i
)
select n.i, n.grp,
       g.prefixes[1 + (n.i / 4) % array_length(g.prefixes, 1)] || '-'
           || case when n.total <= 900 then 101 + (n.i * 37) % 900 else 1001 + (n.i * 37) % 9000 end
           || case n.i % 10 when 5 then '/Б' when 0 then '/А' else '' end as grade,
       -- two products have no name of their own: the program shows the grade instead
       case when n.i in (7, 24) then null
            else g.names[1 + (n.i * 5 + n.i / 7) % array_length(g.names, 1)] end as name,
       (array[1, 1, 2, 0.5, 1.5, 3, 2, 4, 1, 2.5])[1 + n.i % 10]::numeric as massa
from n join gen_group g on g.no = n.grp;

insert into cmn_gds_and_srv.gds_and_srv (s_caption, s_name, s_description, id_msm_bs, massa, id_class_item)
select p.grade, p.name, '', 6, p.massa, ci.id
from gen_product p
join gen_group g on g.no = p.grp
join cmn_classifier.item ci on ci.id_level = 2 and ci.s_caption = g.caption
order by p.i;

insert into accounts_dep.vid_oper (vid)
select v from unnest(array['РЕЗКА', 'ГИБКА', 'СВАРКА', 'ЗАЧИСТКА', 'ГРУНТОВКА', 'КРАСКА', 'СБОРКА',
                           'УПАКОВКА', 'СВЕРЛОВКА', 'ШЛИФОВКА', 'ФРЕЗЕРОВКА', 'КОНТРОЛЬ']) with ordinality as t(v, n)
order by n;

-- Operations: every product gets three to seven kinds, drawn by weight (finished products are nearly always
-- painted; blanks are never painted, assembled or packed). Machining may be done on the blank (naimen 1)
-- or on the finished product (0), and now and then on both.
create temp table gen_kind_weight on commit drop as
select v.id as vid, v.vid as kind, w.finished, w.blank,
       v.vid in ('РЕЗКА', 'ГИБКА', 'СВАРКА', 'ЗАЧИСТКА', 'СВЕРЛОВКА', 'ШЛИФОВКА', 'ФРЕЗЕРОВКА') as machining
from accounts_dep.vid_oper v
join (values ('РЕЗКА', 2.0, 3.0), ('ГИБКА', 1.5, 3.0), ('СВАРКА', 2.0, 2.0), ('ЗАЧИСТКА', 1.5, 1.5),
             ('ГРУНТОВКА', 2.5, 2.0), ('КРАСКА', 6.0, 0.0), ('СБОРКА', 3.0, 0.0), ('УПАКОВКА', 3.0, 0.0),
             ('СВЕРЛОВКА', 1.5, 2.0), ('ШЛИФОВКА', 1.0, 1.5), ('ФРЕЗЕРОВКА', 1.0, 1.5), ('КОНТРОЛЬ', 2.0, 1.0))
     as w(kind, finished, blank) on w.kind = v.vid;

create temp table gen_oper on commit drop as
with prod as (
    select g.id::integer as i_id, p.grp = 4 as is_blank, 3 + floor(random() * 5)::int as k
    from gen_product p join cmn_gds_and_srv.gds_and_srv g on g.s_caption = p.grade
),
drawn as (
    -- weighted sampling without replacement: smallest -ln(u)/w first
    select pr.i_id, pr.k, kw.vid, kw.machining, pr.is_blank,
           row_number() over (partition by pr.i_id
                              order by -ln(1 - random()) / case when pr.is_blank then kw.blank else kw.finished end) as rn
    from prod pr cross join gen_kind_weight kw
    where case when pr.is_blank then kw.blank else kw.finished end > 0
),
picked as (
    select i_id, vid, machining,
           case when not machining then 0 when is_blank or random() < 0.5 then 1 else 0 end as naimen
    from drawn where rn <= k
)
select i_id, vid, naimen from picked
union
select i_id, vid, 1 - naimen from picked where machining and random() < 0.2;

insert into accounts_dep.oper (vid, naimen, i_id, cena, cena_new)
select vid, naimen, i_id, case when random() < 0.5 then null else 0 end, 0
from gen_oper
order by i_id, vid, naimen;

-- Norms: one to three per operation (a lower norm, fewer pieces a shift, pays more per piece). The last
-- operation is left without norms, as a freshly added one would be: it does not show in the price list and
-- gets no journal rows.
insert into accounts_dep.norm (o_id, norma, price, prize)
select o.id,
       greatest(50, o.norma - j * 40),
       least(45.0, round((o.base * (1 + 0.2 * j))::numeric, o.decimals))::float8,
       case when random() < 0.6 then 0 else floor(random() * 21)::int end
from (
    select id, 1 + floor(random() * 3)::int as cnt,
           1.25 + power(random(), 2) * 30 as base,
           case when random() < 0.3 then 3 else 2 end as decimals,
           50 + floor(random() * 46)::int * 10 as norma
    from accounts_dep.oper
    where id < (select max(id) from accounts_dep.oper)
) o
cross join lateral generate_series(0, o.cnt - 1) j
order by o.id, j;

-- What each department's workers may do: operations with norms of the department's kinds, shuffled once,
-- with their product, lowest norm price and whether they are painting.
create temp table gen_pool on commit drop as
select d.no as dept, count(*)::int as n,
       array_agg(o.id order by md5(o.id::text), o.id) as ops,
       array_agg(o.i_id order by md5(o.id::text), o.id) as prods,
       array_agg(nm.price order by md5(o.id::text), o.id) as prices,
       array_agg(v.vid = 'КРАСКА' order by md5(o.id::text), o.id) as paint
from gen_dept d
join accounts_dep.vid_oper v on v.vid = any (d.kinds)
join accounts_dep.oper o on o.vid = v.id
join (select o_id, min(price) as price from accounts_dep.norm group by o_id) nm on nm.o_id = o.id
group by d.no;

do $$
begin
    -- a worker's rows of one shift take distinct neighbouring operations of the pool
    if exists (select 1 from gen_pool where n < 8) or (select count(*) from gen_pool) < 4 then
        raise exception 'a department has too few operations to draw a shift''s rows from';
    end if;
end $$;

-- Calendar: weekends, weekly rotation, days with overtime. Today always has overtime.
create temp table gen_day on commit drop as
select d::date as day,
       extract(isodow from d) in (6, 7) as weekend,
       (d::date - date '2000-01-03') / 7 % 2 as week_parity,
       d::date = current_date as today,
       (extract(isodow from d) not in (6, 7) and random() < p.p_overtime_day) or d::date = current_date as overtime
from gen_param p, generate_series(p.first_day, current_date, interval '1 day') d;

-- Who worked which shift on which day, for how many hours (mostly a full 8, now and then 12 or a short day;
-- overtime 2 to 4), in how many journal rows, and where in the pool their operations start.
-- Today (and yesterday) are staffed like a weekday so the demo opens on a full journal, and the first of every
-- team is there today so each of the four shifts of today has rows.
create temp table gen_att on commit drop as
with regular as (
    select dy.day, dy.weekend, dy.overtime, dy.today, w.id as w_id, w.dept, w.team, w.team_rank,
           case w.team when 3 then 3
                       when 1 then 1 + dy.week_parity
                       else 2 - dy.week_parity end as smena
    from gen_day dy cross join gen_worker w cross join gen_param p
    where random() < case when dy.weekend and dy.day < current_date - 1 then p.p_weekend else p.p_weekday end
       or (dy.today and w.team_rank = 1)
)
select r.day, r.weekend, r.w_id, r.dept, r.smena, 1 + floor(random() * p.max_rows)::int as n_rows,
       (array[8, 12, 4, 5, 6, 7])[width_bucket(random(), array[0, 0.75, 0.85, 0.89, 0.93, 0.97]::float8[])] as hours,
       floor(random() * 1000000)::int as base
from regular r, gen_param p
union all
select r.day, r.weekend, r.w_id, r.dept, 4, 1 + floor(random() * 2)::int, 2 + floor(random() * 3)::int,
       floor(random() * 1000000)::int
from regular r, gen_param p
where r.overtime and r.smena <> 3 and (random() < p.p_overtime or (r.today and r.team = 1 and r.team_rank = 1));

-- The journal. Pay per piece is the operation's lowest norm price, doubled at the weekend, 1.2 times in the
-- night shift and 1.5 times in overtime. The shift's hours are split evenly over its rows (each 1 to 8).
-- Recent days are still mostly unaccepted ('no').
-- The generated years are not a history of changes: the history trigger stays out of the bulk load.
-- Nor does it pass the rules of a row, the closed-month guard or the announcements one row at a time: the generator
-- makes rows those rules accept (checked below), and at a plant's scale (twelve million rows) the triggers' work on
-- every row is most of the load's time.
alter table accounts_dep.smena disable trigger user;
insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod,
                                prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)
select a.w_id, pl.prods[y.ix], pl.ops[y.ix],
       round((pl.prices[y.ix] * case when a.weekend then 2 else 1 end
                              * case a.smena when 3 then 1.2 when 4 then 1.5 else 1 end)::numeric, 4)::float8,
       5 + floor(power(random(), 1.5) * 296)::int,
       case when random() < 0.9 then 0 else 1 + floor(random() * 5)::int end,
       a.day, a.smena,
       case when not pl.paint[y.ix] then 0
            when random() < 0.3 then 1
            else 2 + floor(random() * 11)::int end,
       (x.hours * (k + 1)) / x.n - (x.hours * k) / x.n,
       case when a.day >= current_date - 1
            then (array['no', 'ok'])[width_bucket(random(), array[0, 0.6]::float8[])]
            else (array['ok', 'no', 'да'])[width_bucket(random(), array[0, 0.85, 0.95]::float8[])] end,
       (a.day + case when a.day < current_date and random() < 0.3 then 1 else 0 end)::timestamp,
       0, 0, 0, 0, 0, 0
from gen_att a
join gen_pool pl on pl.dept = a.dept
-- no more rows than hours, no row over 8 hours
cross join lateral (select least(a.n_rows, a.hours) as n, least(a.hours, 8 * least(a.n_rows, a.hours)) as hours) x
cross join lateral generate_series(0, x.n - 1) k
cross join lateral (select 1 + (a.base + k) % pl.n as ix) y
order by a.day, a.smena, a.w_id, k;

-- The timesheet holds, per worker, shift and month, the hours of every day: the sums of the journal.
do $$
declare
    cols text;
    sums text;
begin
    select string_agg(format('d%s', n), ', ' order by n),
           string_agg(format('coalesce(sum(h) filter (where dom = %s), 0)', n), ', ' order by n)
    into cols, sums
    from generate_series(1, 31) n;
    execute format($q$
        insert into accounts_dep.h_tabel (w_id, smena, month, year, %s)
        select w_id, smena, month, year, %s
        from (select w_id, smena, extract(month from data)::smallint as month, extract(year from data)::smallint as year,
                     extract(day from data)::int as dom, sum(time) as h
              from accounts_dep.smena
              group by 1, 2, 3, 4, 5) t
        group by w_id, smena, month, year
        order by year, month, smena, w_id$q$, cols, sums);
end $$;

do $$
begin
    if (select count(distinct smena) from accounts_dep.smena where data = current_date) <> 4 then
        raise exception 'today''s journal lacks a shift';
    end if;
    if exists (select 1 from accounts_dep.smena
               group by w_id, smena, data having sum(time) > 12) then
        raise exception 'a worker has more than 12 hours in one shift';
    end if;
end $$;

alter table accounts_dep.smena enable trigger user;

-- In the demo the year's months before last month are paid: closed, as a shop's would be, so that a newcomer meets a
-- closed month at once. (The large database keeps every month open: its benchmarks rebuild past months.)
-- (When and by whom are the database's: now, and the login that loads the demo.)
insert into accounts_dep.closed_month (year, month)
select extract(year from m)::smallint, extract(month from m)::smallint
from generate_series(date_trunc('month', current_date) - interval '13 months',
                     date_trunc('month', current_date) - interval '2 months', interval '1 month') m
where current_setting('kesta.scale') = 'demo';

commit;

-- The tables filled here (the program's user, their owner, may not analyze the server's own catalogues).
analyze cmn_contractor.person, cmn_gds_and_srv.gds_and_srv, accounts_dep.vid_oper, accounts_dep.oper, accounts_dep.norm,
    accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.closed_month, accounts_dep.smena_history;
