#pragma once
// A test seam: one entry of a table of function pointers replaced for the lifetime of the object,
// so that a test reaches a call's error path and the table is whole again when the test ends.

template <class Table, class Fn>
class ScopedReplacement {
 public:
  ScopedReplacement(Table& table, Fn Table::*member, Fn replacement)
      : FTable(table), FMember(member), FSaved(table.*member) {
    FTable.*FMember = replacement;
  }
  ~ScopedReplacement() { FTable.*FMember = FSaved; }
  ScopedReplacement(const ScopedReplacement&) = delete;
  ScopedReplacement& operator=(const ScopedReplacement&) = delete;

 private:
  Table& FTable;
  Fn Table::*FMember;
  Fn FSaved;
};
