// The table handler registry (_HANDLERS with descriptions and libraries)
// and the TableInfo callbacks that handlers call while writing.
#include "data/table.h"

#include <string>
#include <vector>

#include "data/tablerw.h"
#include "data/values.h"
#include "frontend/decl_fixture.h"
#include "frontend/keywords.h"
#include "session/sysdecls.h"
#include "support/text.h"

namespace vexo {
namespace {

class Tables : public test::DeclTest {
 protected:
  static std::vector<std::string> handler_names() {
    std::vector<std::string> r;
    for (setmem* m = handleindx->first; m; m = m->next)
      if (m->ord >= 0) r.push_back(m->tup()[0]->name);
    return r;
  }
  // The value of a handler's _handler_desc or _handler_lib.
  static std::string value(param* p, const char* name) {
    symbol* s = Symbol(name, 1);
    int64_t i = set_lookup(p->dindex, &s);
    if (i < 0) return "<none>";
    symval* v = static_cast<symval*>(p->vals) + i;
    return v->str ? v->str->text() : v->sym->name;
  }
};

int reader(VexoExports*, TableInfo*) { return DB_Refuse; }

TEST_F(Tables, BuiltInHandlersAreListed) {
  EXPECT_EQ(handler_names(), (std::vector<std::string>{"tab", "bit"}));
  ASSERT_NE(Table_Handlers, nullptr);
  EXPECT_STREQ(Table_Handlers->name, "bit");  // newest first
  EXPECT_STREQ(Table_Handlers->next->name, "tab");
  EXPECT_EQ(value(Pd_handler_lib, "tab"), "<builtin>");
  EXPECT_EQ(value(Pd_handler_desc, "bit").rfind("Builtin file.bit", 0), 0u);
}

// The name is the first line without its blanks; the description starts
// at its first non-blank; refusals register nothing.
TEST_F(Tables, InfoTextsAndRefusals) {
  std::string err = msgs([] {
    add_table_handler(reader, nullptr, "  odbc  \n\n   reads databases", 0,
                      nullptr, nullptr, "lib.so");
    add_table_handler(reader, nullptr, "plain", 0, nullptr, nullptr, "l2");
    add_table_handler(reader, reader, "tab\nagain", 0, nullptr, nullptr, "l");
    add_table_handler(nullptr, nullptr, "none", 0, nullptr, nullptr, "l");
    add_table_handler(reader, nullptr, " \n", 0, nullptr, nullptr, "l");
  });
  EXPECT_EQ(handler_names(),
            (std::vector<std::string>{"tab", "bit", "odbc", "plain"}));
  EXPECT_EQ(value(Pd_handler_desc, "odbc"), "reads databases");
  EXPECT_EQ(value(Pd_handler_lib, "odbc"), "lib.so");
  EXPECT_EQ(value(Pd_handler_desc, "plain"), "");
  EXPECT_STREQ(Table_Handlers->name, "plain");
  EXPECT_NE(err.find("Duplicate table handler \"tab\" ignored."),
            std::string::npos);
  EXPECT_NE(err.find("Table handler \"none\" has no reader and no writer."),
            std::string::npos);
  EXPECT_NE(err.find("Nameless table handler ignored."), std::string::npos);

  // Unloading the library of "odbc": its name, description and library
  // go, the later ones move down.
  Table_Handler* h = Table_Handlers->next;
  ASSERT_STREQ(h->name, "odbc");
  int ord = handler_ordinal(h);
  EXPECT_EQ(ord, 2);
  Del_table_handler(h);
  handler_info_adjust(ord, 1);
  EXPECT_EQ(handler_names(),
            (std::vector<std::string>{"tab", "bit", "plain"}));
  EXPECT_EQ(value(Pd_handler_desc, "odbc"), "<none>");
  EXPECT_EQ(value(Pd_handler_lib, "plain"), "l2");
  EXPECT_STREQ(Table_Handlers->next->name, "bit");
}

TEST_F(Tables, LookupWithoutKeysOrValues) {
  TableInfo ti{};
  ti.arity = 1;
  // No arrays at all, or a key entry without either: no row.
  EXPECT_EQ(Wr_Lookup(nullptr, nullptr, &ti), -1);
  EXPECT_EQ(Wr_Lookup(nullptr, nullptr, nullptr), -1);
  char* none[1] = {nullptr};
  EXPECT_EQ(Rd_Lookup(nullptr, none, nullptr), -1);
  EXPECT_EQ(No_Lookup(nullptr, none, &ti), -1);
}

}  // namespace
}  // namespace vexo
