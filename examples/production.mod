# Multi-period production planning: make products in each week, hold
# inventory between weeks, and meet forecast sales at least cost.
set PROD;                       # products
set WEEKS ordered;              # planning weeks, in calendar order

param rate {PROD} > 0;          # tons made per hour
param avail {WEEKS} >= 0;       # hours of production time in each week
param inv0 {PROD} >= 0, default 0;   # inventory at the start
param prodcost {PROD} >= 0;     # cost per ton made
param invcost {PROD} >= 0;      # cost per ton held from one week to the next
param market {PROD, WEEKS} >= 0;     # most that can be sold
param revenue {PROD, WEEKS} >= 0;    # income per ton sold

param last_week symbolic in WEEKS := last(WEEKS);

var Make {PROD, WEEKS} >= 0;
var Inv {PROD, WEEKS} >= 0;
var Sell {p in PROD, t in WEEKS} >= 0, <= market[p, t];

maximize total_profit:
  sum {p in PROD, t in WEEKS}
    (revenue[p, t] * Sell[p, t] - prodcost[p] * Make[p, t]
     - invcost[p] * Inv[p, t]);

subject to time {t in WEEKS}:
  sum {p in PROD} (1 / rate[p]) * Make[p, t] <= avail[t];

# Inventory balance: what is carried in plus what is made is sold or kept.
subject to balance_first {p in PROD}:
  Make[p, first(WEEKS)] + inv0[p]
    = Sell[p, first(WEEKS)] + Inv[p, first(WEEKS)];

subject to balance {p in PROD, t in WEEKS: ord(t) > 1}:
  Make[p, t] + Inv[p, prev(t, WEEKS)] = Sell[p, t] + Inv[p, t];

check {p in PROD}: inv0[p] <= sum {t in WEEKS} market[p, t];
