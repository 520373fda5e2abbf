// An EntryList over plain vectors, for driving the core without a window.
#pragma once

#include <optional>
#include <vector>

#include "core/entry_list.h"
#include "core/failure.h"

namespace orvandi {

class VectorEntryList : public EntryList {
  public:
    std::vector<Text> names;
    std::vector<bool> marks;
    // Reading the mark at this index raises `markFailure`.
    std::optional<std::int16_t> failMarkAt;
    Failure markFailure{91, u"Mark unreadable"};

    VectorEntryList() = default;
    VectorEntryList(std::vector<Text> entryNames, std::vector<bool> entryMarks)
        : names(std::move(entryNames)), marks(std::move(entryMarks)) {}

    std::int16_t count() override { return static_cast<std::int16_t>(names.size()); }
    Text name(std::int16_t index) override { return names.at(index); }
    bool marked(std::int16_t index) override {
        if (failMarkAt == index) throw markFailure;
        return marks.at(index);
    }
    void SetMarked(std::int16_t index, bool marked) override { marks.at(index) = marked; }
    void Append(const Text& name) override {
        names.push_back(name);
        marks.push_back(false);
    }
    void Clear() override {
        names.clear();
        marks.clear();
    }
};

}  // namespace orvandi
