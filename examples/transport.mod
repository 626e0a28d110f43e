# A transportation problem: ship a product from plants to markets at least
# cost, within plant capacities and meeting market demands.
set PLANTS;
set MARKETS;

param capacity {PLANTS} >= 0;
param demand {MARKETS} >= 0;
param cost {PLANTS, MARKETS} >= 0;

var ship {PLANTS, MARKETS} >= 0;

minimize total_cost:
  sum {p in PLANTS, m in MARKETS} cost[p, m] * ship[p, m];

subject to supply {p in PLANTS}:
  sum {m in MARKETS} ship[p, m] <= capacity[p];

subject to meet {m in MARKETS}:
  sum {p in PLANTS} ship[p, m] >= demand[m];
