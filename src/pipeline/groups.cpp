#include "pipeline/groups.hpp"

#include <algorithm>
#include <unordered_map>

#include "input/sample_survey.hpp"
#include "pipeline/pattern_names.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {
namespace {

// How the tables' id column names a specimen: its ID=, else its IMAGE=.
std::string table_id(const SpecimenRecord& record) {
  return std::string(record.id().empty() ? record.image() : record.id());
}

// The fields of one CSV line, with RFC 4180 quotes; false for a quote left open.
bool csv_fields(std::string_view line, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!field.empty() && blank(field.back())) field.pop_back();
    field.erase(0, std::find_if_not(field.begin(), field.end(), blank) - field.begin());
  }
  return !quoted;
}

std::string in_quotes(const std::string& text) {
  return "\"" + text + "\"";
}

// Each row's group from the text of a CSV file of ID and group.
std::vector<std::optional<std::string>> groups_from_csv(const Sample& sample, std::string_view rest,
                                                        const std::string& path,
                                                        std::string& what) {
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  std::unordered_map<std::string, std::vector<std::size_t>> rows_of;
  for (std::size_t i = 0; i < sample.specimens() && i < sample.records.size(); ++i) {
    rows_of[table_id(sample.records[i])].push_back(i);
  }
  std::vector<std::optional<std::string>> names(sample.specimens());
  std::vector<std::string> unknown;
  std::vector<std::string> fields;
  for (std::size_t line = 1; !rest.empty(); ++line) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view content = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (content.find_first_not_of(" \t") == std::string_view::npos) continue;
    const std::string where =
        "line " + std::to_string(line) + " of the groups file " + in_quotes(path);
    if (!csv_fields(content, fields)) raise("A quote is left open on " + where + ".");
    if (fields.size() < 2) {
      raise(where + " has no group: each line is a specimen's ID, a comma and its group.");
    }
    if (line == 1 && (fields[0] == "id" || fields[0] == "specimen") && !rows_of.count(fields[0])) {
      continue;
    }
    if (fields[0].empty()) raise(where + " has no specimen ID before its comma.");
    if (fields[1].empty()) raise(where + " gives " + in_quotes(fields[0]) + " an empty group.");
    const auto rows = rows_of.find(fields[0]);
    if (rows == rows_of.end()) {
      unknown.push_back(in_quotes(fields[0]) + " (line " + std::to_string(line) + ")");
      continue;
    }
    for (std::size_t row : rows->second) {
      if (names[row] && *names[row] != fields[1]) {
        raise(where + " gives " + in_quotes(fields[0]) + " the group " + in_quotes(fields[1]) +
              ", an earlier line " + in_quotes(*names[row]) + ".");
      }
      names[row] = fields[1];
    }
  }
  if (!unknown.empty()) {
    std::string list;
    for (const std::string& id : unknown) list += (list.empty() ? "" : ", ") + id;
    raise("The groups file " + in_quotes(path) + " names " +
          (unknown.size() == 1 ? "an ID that matches" : "IDs that match") +
          " no specimen of the sample: " + list + ".");
  }
  what = "the groups file " + in_quotes(path);
  return names;
}

// Each row's file, by its name, or its path where two files share a name.
std::vector<std::optional<std::string>> groups_by_file(const Sample& sample, std::string& what) {
  what = "their files";
  std::unordered_map<std::string, std::string> name_of;  // path -> name
  std::unordered_map<std::string, std::size_t> paths_named;
  for (const SpecimenRecord& record : sample.records) {
    if (name_of.emplace(record.file(), file_name(record.file())).second) {
      ++paths_named[file_name(record.file())];
    }
  }
  std::vector<std::optional<std::string>> names(sample.specimens());
  for (std::size_t i = 0; i < names.size() && i < sample.records.size(); ++i) {
    const std::string& file = sample.records[i].file();
    names[i] = paths_named[name_of[file]] > 1 ? file : name_of[file];
  }
  return names;
}

}  // namespace

std::string some_specimens(const std::vector<std::size_t>& rows, const Sample& sample) {
  std::string text;
  const std::size_t shown = std::min<std::size_t>(rows.size(), 5);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i != 0) text += i + 1 == shown && shown == rows.size() ? " and " : ", ";
    text += specimen_label(rows[i], sample.records);
  }
  if (rows.size() > shown) text += " and " + std::to_string(rows.size() - shown) + " more";
  return text;
}

std::optional<std::vector<std::optional<std::string>>> field_pattern_names(const Sample& sample,
                                                                           const std::string& rule,
                                                                           std::string& what) {
  const std::size_t colon = rule.find(':');
  const std::string field = rule.substr(0, colon);
  if (colon == std::string::npos || (field != "id" && field != "image")) return std::nullopt;
  const std::string pattern = rule.substr(colon + 1);
  what = "the pattern \"" + pattern + "\" in " + (field == "id" ? "ID=" : "IMAGE=");
  std::vector<std::string> texts;
  for (const SpecimenRecord& r : sample.records) {
    texts.emplace_back(field == "id" ? r.id() : r.image());
  }
  texts.resize(sample.specimens());
  return pattern_names(pattern, texts);
}

SpecimenGroups sample_groups(const Sample& sample, const std::string& rule) {
  std::string what;
  std::vector<std::optional<std::string>> names;
  if (rule == "file") {
    names = groups_by_file(sample, what);
  } else if (auto by_pattern = field_pattern_names(sample, rule, what)) {
    names = std::move(*by_pattern);
  } else {
    FileText text;
    std::string reason;
    if (!read_whole_file(rule, text, reason)) {
      raise("Cannot read the groups file " + in_quotes(rule) + ": " + reason + ".");
    }
    return csv_groups(sample, text.view(), rule);
  }
  return named_groups(sample, rule, names,
                      "Groups are given by " + what + ", which gives no group to ");
}

SpecimenGroups named_groups(const Sample& sample, const std::string& rule,
                            const std::vector<std::optional<std::string>>& names,
                            const std::string& unnamed_lead) {
  SpecimenGroups groups;
  groups.rule = rule;
  std::vector<std::size_t> unnamed;
  std::unordered_map<std::string, std::size_t> index;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i] || names[i]->empty()) {
      unnamed.push_back(i);
      continue;
    }
    const auto [at, added] = index.emplace(*names[i], groups.names.size());
    if (added) groups.names.push_back(*names[i]);
    groups.of.push_back(at->second);
  }
  if (!unnamed.empty()) raise(unnamed_lead + some_specimens(unnamed, sample) + ".");
  return groups;
}

SpecimenGroups csv_groups(const Sample& sample, std::string_view text, const std::string& path) {
  std::string what;
  const std::vector<std::optional<std::string>> names = groups_from_csv(sample, text, path, what);
  return named_groups(sample, path, names,
                      "Groups are given by " + what + ", which gives no group to ");
}

GroupColumn group_column(const SpecimenGroups* groups) {
  if (groups == nullptr) return {};
  return {groups->of, groups->names};
}

}  // namespace dg
