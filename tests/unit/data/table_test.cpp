// Table declarations bind their names, join their class and are listed
// in _TABLES.
#include "data/table.h"

#include "frontend/decl_fixture.h"
#include "frontend/keywords.h"

namespace vexo {
namespace {

using TableDecl = test::DeclTest;

TEST_F(TableDecl, ListedAndFiled) {
  Table* t = new Table(Symbol("tab", 1), nullptr);
  t->addtdir(1);
  t = t->finish_dcl(0);
  symbol* tn = t->name;
  EXPECT_EQ(set_lookup(table_names, &tn), 0);
  EXPECT_EQ(xclass[XC_TABLES].n, 1);
}

}  // namespace
}  // namespace vexo
