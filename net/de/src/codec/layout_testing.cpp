// The record/layout comparison of layout_testing.h.
#include "zn_de/layout_testing.h"

#include <cstdio>

#include "zn_de/codec.h"

namespace kelda::de {

std::string layout_mismatches(MessageLayout* layout, std::span<const RecordField> fields,
                              std::size_t record_size, std::size_t record_alignment) {
  auto compiled = RecordLayout::compile(layout);
  if (!compiled) return compiled.error().text;
  const RecordLayout& record = compiled.value();
  const std::vector<NativeMember> members = record.members();

  std::string report;
  char line[256];
  auto add = [&report](const char* text) {
    if (!report.empty()) report += "\n";
    report += text;
  };
  if (members.size() != fields.size()) {
    std::snprintf(line, sizeof line, "the layout has %zu native members, the record lists %zu",
                  members.size(), fields.size());
    add(line);
  }
  const std::size_t common = members.size() < fields.size() ? members.size() : fields.size();
  for (std::size_t i = 0; i < common; ++i) {
    const RecordField& field = fields[i];
    if (members[i].offset != field.offset) {
      std::snprintf(line, sizeof line, "%s: codec offset %u, offsetof %zu", field.name,
                    members[i].offset, field.offset);
      add(line);
    }
    if (members[i].size != field.size) {
      std::snprintf(line, sizeof line, "%s: codec size %u, sizeof %zu", field.name,
                    members[i].size, field.size);
      add(line);
    }
  }
  const std::size_t align = record_alignment == 0 ? 1 : record_alignment;
  const std::size_t padded = (record.native_size() + align - 1) / align * align;
  if (padded != record_size) {
    std::snprintf(line, sizeof line,
                  "record size: codec native size %u (padded to %zu), sizeof %zu",
                  record.native_size(), padded, record_size);
    add(line);
  }
  return report;
}

}  // namespace kelda::de
