// The searches of one line (bash's rules): a table of those made, so that one met again is not
// made again, and the searches a line is expected to make, answered together by one pass over
// the index of the history.
#include <cstdlib>

#include "core/settings_record.h"
#include "expansion/entry_match.h"
#include "expansion/history_view.h"
#include "text/multi_search.h"
#include "text/text.h"
#include "text/work.h"

namespace {

// The texts of the line's expected containment searches, prepared for one pass. Process-wide
// for its size, not on the shell's stack; used within one expansion.
text::MultiSearch ExpectedTexts;

uint64_t HashOf(SearchKind kind, const char16_t* text, size_t length) {
  uint64_t h = 14695981039346656037ull ^ static_cast<uint64_t>(kind);  // FNV-1a
  for (size_t k = 0; k < length; ++k) h = (h ^ text[k]) * 1099511628211ull;
  return h;
}

// The slot of a search of this line with the same kind and text, or the free slot where it
// would go; null when the table is too full to take it, or the budget is spent. Every slot
// stepped over counts: texts can be chosen to crowd the slots of one run of the table.
SearchSlot* SlotFor(HistoryView* view, SearchKind kind, const char16_t* text, size_t length) {
  if (!view->slotsCleared) {
    for (size_t k = 0; k < kSearchSlots; ++k) view->slots[k].text = nullptr;
    view->slotsCleared = true;
  }
  view->budget->Spend(length);
  work::Done(length);
  size_t slot = static_cast<size_t>(HashOf(kind, text, length) % kSearchSlots);
  for (size_t probe = 0; probe < kSearchSlots; ++probe, slot = (slot + 1) % kSearchSlots) {
    work::Done(1);
    if (!view->budget->Spend(1)) return nullptr;
    SearchSlot& s = view->slots[slot];
    if (s.text == nullptr) return view->slotsUsed < kSearchSlots / 2 ? &s : nullptr;
    if (s.kind != kind || s.length != length) continue;
    view->budget->Spend(length);
    size_t k = 0;
    while (k < length && s.text[k] == text[k]) ++k;
    work::Done(k + 1);
    if (k == length) return &s;
  }
  return nullptr;
}

void Answer(SearchSlot* slot, char16_t* entry) {
  slot->entry = entry;
  slot->expected = false;
}

// Answers every expected search of the line by one scan of the index from the newest entry
// back: a prefix search compares the start of each entry, and the containment searches read
// each entry once, all of them together. A search is answered by the newest entry that matches;
// the scan stops once every search has its answer, or once the budget is spent (then every
// search still open fails, and so does the line).
void AnswerExpected(HistoryView* view) {
  SearchSlot* prefixes[kSearchSlots / 2];
  SearchSlot* contained[kSearchSlots / 2];
  const char16_t* texts[kSearchSlots / 2];
  size_t lengths[kSearchSlots / 2];
  size_t prefixCount = 0, containedCount = 0;
  for (size_t k = 0; k < kSearchSlots; ++k) {
    SearchSlot& s = view->slots[k];
    if (s.text == nullptr || !s.expected) continue;
    if (s.kind == kBeginsWith) {
      prefixes[prefixCount++] = &s;
    } else {
      texts[containedCount] = s.text;
      lengths[containedCount] = s.length;
      contained[containedCount++] = &s;
    }
  }
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  text::MultiSearch& multi = ExpectedTexts;
  if (containedCount > 0 &&
      !text::PrepareMultiSearch(&multi, texts, lengths, containedCount, foldCase)) {
    containedCount = 0;  // not expected to happen: ExpectSearch keeps them within its reach
  }
  // The open prefix searches are the first `openPrefixes` of `prefixes`: one answered is swapped
  // with the last open one, so that each entry costs only the searches still open.
  size_t openPrefixes = prefixCount, openContained = containedCount;
  bool found[text::kMultiSearchUnits] = {};
  for (size_t i = view->count; i > 0 && openPrefixes + openContained > 0; --i) {
    char16_t* entry = view->entries[i - 1];
    uint64_t work = StepUnits(entry, i < view->count ? view->entries[i] : nullptr);
    for (size_t p = 0; p < openPrefixes;) {
      work::Done(1);
      SearchSlot* s = prefixes[p];
      if (!StartsWith(entry, s->text, s->length, foldCase, &work)) {
        ++p;
        continue;
      }
      Answer(s, entry);
      prefixes[p] = prefixes[--openPrefixes];
    }
    size_t seen = 0;
    if (openContained > 0) work += text::ScanForTexts(multi, entry, found, &seen);
    if (seen > 0) {  // each text is found once, then retired: at most once a text
      work += containedCount;
      work::Done(containedCount);
      for (size_t c = 0; c < containedCount; ++c) {
        if (!found[c]) continue;
        found[c] = false;
        Answer(contained[c], entry);
        text::RetireText(&multi, c);
        --openContained;
      }
    }
    if (!view->budget->Spend(work)) break;
  }
  for (size_t p = 0; p < openPrefixes; ++p) Answer(prefixes[p], nullptr);
  for (size_t c = 0; c < containedCount; ++c) {
    if (contained[c]->expected) Answer(contained[c], nullptr);
  }
}

}  // namespace

void ExpectSearch(HistoryView* view, SearchKind kind, const char16_t* text, size_t length) {
  if (view->slots == nullptr || length == 0 || view->budget->Spent()) return;
  if (kind == kContains && view->expectedUnits + length > text::kMultiSearchUnits) return;
  SearchSlot* slot = SlotFor(view, kind, text, length);
  if (slot == nullptr || slot->text != nullptr) return;  // no room, or expected already
  *slot = SearchSlot{text, static_cast<uint32_t>(length), kind, nullptr, true, false, 0, 0};
  ++view->slotsUsed;
  if (kind == kContains) view->expectedUnits += length;
}

char16_t* SearchHistory(HistoryView* view, SearchKind kind, const char16_t* text,
                        const char16_t* terminated, size_t length, SearchSlot** slotOut) {
  if (slotOut != nullptr) *slotOut = nullptr;
  if (length == 0) return nullptr;
  if (!view->indexed) {
    return SearchForward(MakeSearch(kind, terminated, length, view->budget), view->budget);
  }
  SearchSlot* slot = view->slots != nullptr ? SlotFor(view, kind, text, length) : nullptr;
  if (slot != nullptr && slot->text != nullptr) {
    if (slot->expected) AnswerExpected(view);
    if (slotOut != nullptr && slot->entry != nullptr) *slotOut = slot;
    return slot->entry;
  }
  char16_t* entry = SearchBack(*view, MakeSearch(kind, terminated, length, view->budget));
  if (entry != nullptr && slot != nullptr) {
    *slot = SearchSlot{text, static_cast<uint32_t>(length), kind, entry, false, false, 0, 0};
    ++view->slotsUsed;
    if (slotOut != nullptr) *slotOut = slot;
  }
  return entry;
}
