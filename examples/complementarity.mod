# A market equilibrium as a complementarity problem: each good's price is
# zero or clears its market, and each activity runs at zero level or breaks
# even.
set GOODS;
set ACTIVITIES;

param io {GOODS, ACTIVITIES};     # output (+) or input (-) per unit level
param endow {GOODS} >= 0;         # what the market holds initially
param share {GOODS} > 0;          # budget shares of demand
param income > 0;

var Price {GOODS} >= 0, := 1;
var Level {ACTIVITIES} >= 0;

# Excess supply is nonnegative and complements the price.
subject to clear {g in GOODS}:
  0 <= endow[g] + sum {a in ACTIVITIES} io[g, a] * Level[a]
       - share[g] * income / Price[g]
  complements Price[g] >= 0;

# No activity makes a profit; a loss-making one runs at level zero.
subject to profit {a in ACTIVITIES}:
  Level[a] >= 0 complements
    sum {g in GOODS} -io[g, a] * Price[g] >= 0;
