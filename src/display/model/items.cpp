#include "items.h"

#include "display_owner.h"

namespace tavrela {

TGraphDisplayItem& TGraphDisplayItems::Add() {
    TGraphDisplayItem& item = Append(std::make_unique<TGraphDisplayItem>(this));
    if (Owner != nullptr && Owner->ActiveIndex() == -1) {
        Owner->StoreActiveIndex(0);
    }
    return item;
}

void TGraphDisplayItems::Clear() {
    if (Owner != nullptr) {
        Owner->StoreActiveIndex(-1);
    }
    FreeAll();
}

void TGraphDisplayItems::Delete(int Index) {
    FreeAt(Index);
    if (Owner != nullptr) {
        Owner->InvalidatePanel();
    }
}

int TGraphDisplayItems::FindItem(const QString& Name) const noexcept {
    if (Name.isEmpty()) {
        return -1;
    }
    for (const TGraphDisplayItem& item : *this) {
        if (item.Name == Name) {
            return item.Index;
        }
    }
    return -1;
}

} // namespace tavrela
