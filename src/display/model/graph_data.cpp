#include "graph_data.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace tavrela {

namespace {

// Arrays from this size on get their own mapping, so that resizing moves page tables
// instead of bytes. Smaller ones stay on the heap, where a page per array would waste more.
constexpr std::size_t kMapThreshold = 256 * 1024;

std::size_t PageSize() {
    static const std::size_t size = [] {
        const long p = sysconf(_SC_PAGESIZE);
        return p > 0 ? static_cast<std::size_t>(p) : std::size_t{4096};
    }();
    return size;
}

std::size_t RoundToPages(std::size_t bytes) {
    const std::size_t page = PageSize();
    if (bytes > std::numeric_limits<std::size_t>::max() - page) {
        throw std::bad_alloc();
    }
    return (bytes + page - 1) / page * page;
}

std::size_t BytesFor(std::size_t length) {
    if (length > std::numeric_limits<std::size_t>::max() / sizeof(TGDGISample)) {
        throw std::bad_alloc();
    }
    return length * sizeof(TGDGISample);
}

} // namespace

TGraphData::Store::~Store() {
    if (Data == nullptr) {
        return;
    }
    if (Mapped) {
        munmap(Data, Reserved);
    } else {
        std::free(Data);
    }
}

void TGraphData::Store::Resize(std::size_t NewLength) {
    const std::size_t bytes = BytesFor(NewLength);
    const std::size_t oldBytes = Length * sizeof(TGDGISample);
    auto* const base = reinterpret_cast<unsigned char*>(Data);

    if (Mapped) {
        const std::size_t reserve = RoundToPages(std::max<std::size_t>(bytes, 1));
        if (reserve != Reserved) {
            // Shrinking never moves (flags 0) and unmaps the tail; growing may move the
            // mapping, which relinks pages without copying them.
            void* p = mremap(Data, Reserved, reserve, reserve > Reserved ? MREMAP_MAYMOVE : 0);
            if (p == MAP_FAILED) {
                throw std::bad_alloc();
            }
            // Bytes past the old length inside the old pages may hold cut-off samples;
            // pages beyond the old mapping are fresh zeros and stay untouched.
            if (bytes > oldBytes) {
                std::memset(static_cast<unsigned char*>(p) + oldBytes, 0,
                            std::min(bytes, Reserved) - oldBytes);
            }
            Data = static_cast<TGDGISample*>(p);
            Reserved = reserve;
        } else if (bytes > oldBytes) {
            std::memset(base + oldBytes, 0, bytes - oldBytes);
        }
        Length = NewLength;
        return;
    }

    if (bytes >= kMapThreshold) {
        const std::size_t reserve = RoundToPages(bytes);
        void* p =
            mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            throw std::bad_alloc();
        }
        if (Data != nullptr) {
            std::memcpy(p, Data, std::min(oldBytes, bytes));
            std::free(Data);
        }
        Data = static_cast<TGDGISample*>(p);
        Reserved = reserve;
        Mapped = true;
        Length = NewLength;
        return;
    }

    void* p = std::realloc(Data, std::max<std::size_t>(bytes, 1));
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    if (bytes > oldBytes) {
        std::memset(static_cast<unsigned char*>(p) + oldBytes, 0, bytes - oldBytes);
    }
    Data = static_cast<TGDGISample*>(p);
    Reserved = bytes;
    Length = NewLength;
}

TGraphData::TGraphData(std::size_t Length) {
    SetLength(Length);
}

void TGraphData::SetLength(std::size_t NewLength) {
    if (NewLength == Length()) {
        return;
    }
    if (NewLength == 0) {
        FStore.reset();
        return;
    }
    if (FStore && FStore.use_count() == 1) {
        FStore->Resize(NewLength);
        return;
    }
    auto fresh = std::make_shared<Store>();
    fresh->Resize(NewLength);
    if (FStore) {
        std::memcpy(fresh->Data, FStore->Data,
                    std::min(NewLength, FStore->Length) * sizeof(TGDGISample));
    }
    FStore = std::move(fresh);
}

TGraphData TGraphData::Clone() const {
    TGraphData copy;
    if (!empty()) {
        copy.FStore = std::make_shared<Store>();
        copy.FStore->Resize(Length());
        std::memcpy(copy.FStore->Data, FStore->Data, Length() * sizeof(TGDGISample));
    }
    return copy;
}

} // namespace tavrela
