#include "script/values/string_record.h"

#include "script/values/property_table.h"

namespace plumex::script {

void StringRecord::trace(Tracer& t) { t.mark(table_); }

int compareStrings(std::u16string_view a, std::u16string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace plumex::script
