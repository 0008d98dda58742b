#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrela {

/// The list index error: an index outside 0 ... Count - 1.
class EListError : public std::out_of_range {
public:
    explicit EListError(int Index)
        : std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")"),
          Index(Index) {}
    int Index;
};

/// An ordered list that owns its elements and keeps every element's `Index` equal to its
/// position. The model's three collections derive from it and add their own Add/Clear/
/// Delete with their side effects on the display.
template <typename T, typename TOwnerType> class TGraphDisplayList {
public:
    explicit TGraphDisplayList(TOwnerType* AOwner) : Owner(AOwner) {}
    TGraphDisplayList(const TGraphDisplayList&) = delete;
    TGraphDisplayList& operator=(const TGraphDisplayList&) = delete;
    ~TGraphDisplayList() { FreeAll(); }

    /// Number of elements.
    int Count() const { return static_cast<int>(FList.size()); }

    /// The element at `Index`; throws EListError outside 0 ... Count - 1.
    T& Items(int Index) const {
        if (Index < 0 || Index >= Count()) {
            throw EListError(Index);
        }
        return *FList[static_cast<std::size_t>(Index)];
    }
    T& operator[](int Index) const { return Items(Index); }

    /// Iteration in list order, yielding element references.
    class iterator {
    public:
        using Base = typename std::vector<std::unique_ptr<T>>::const_iterator;
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using pointer = T*;
        using reference = T&;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        explicit iterator(Base b) : FBase(b) {}
        T& operator*() const { return **FBase; }
        T* operator->() const { return FBase->get(); }
        iterator& operator++() {
            ++FBase;
            return *this;
        }
        iterator operator++(int) {
            iterator r = *this;
            ++FBase;
            return r;
        }
        friend bool operator==(const iterator&, const iterator&) = default;

    private:
        Base FBase{};
    };
    iterator begin() const { return iterator(FList.cbegin()); }
    iterator end() const { return iterator(FList.cend()); }

    /// The object that created this list.
    TOwnerType* const Owner;

protected:
    T& Append(std::unique_ptr<T> Item) {
        Item->Index = Count();
        FList.push_back(std::move(Item));
        return *FList.back();
    }

    /// Frees every element (in list order) and empties the list.
    void FreeAll() {
        for (auto& item : FList) {
            item.reset();
        }
        FList.clear();
    }

    /// Frees the element at `Index`, removes it and renumbers the rest.
    void FreeAt(int Index) {
        Items(Index); // range check
        auto it = FList.begin() + Index;
        it->reset();
        FList.erase(it);
        for (int i = Index; i < Count(); ++i) {
            FList[static_cast<std::size_t>(i)]->Index = i;
        }
    }

private:
    std::vector<std::unique_ptr<T>> FList;
};

} // namespace tavrela
