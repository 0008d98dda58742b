#pragma once

#include "types.h"

#include <cstddef>
#include <memory>

namespace tavrela {

/// One sample of a curve, 12 bytes.
struct TGDGISample {
    float Value = 0.0f;   ///< the sample value
    TColor Color = 0;     ///< per-sample colour (curve ColorMode 1): line vertex / bar base
    TColor PeakColor = 0; ///< per-sample colour (curve ColorMode 1): bar top
    friend bool operator==(const TGDGISample&, const TGDGISample&) = default;
};
static_assert(sizeof(TGDGISample) == 12, "a sample is 12 bytes");

/// A curve's samples: a shared, reference-counted array of TGDGISample.
///
/// Copies share the same elements (writing through one is seen by all), like a handle.
/// Long files need long arrays (13 million samples per curve for five minutes of stereo),
/// so large arrays live in their own memory mapping: growing or cutting a sole reference
/// never copies the elements and cutting gives the spare pages back to the system. A
/// decoder can therefore allocate generously and cut to the decoded length at the end
/// with peak memory no larger than the allocation.
class TGraphData {
public:
    TGraphData() = default;
    /// An array of `Length` zeroed samples.
    explicit TGraphData(std::size_t Length);

    TGraphData(const TGraphData&) = default;
    TGraphData& operator=(const TGraphData&) = default;
    TGraphData(TGraphData&&) noexcept = default;
    TGraphData& operator=(TGraphData&&) noexcept = default;

    /// Number of samples.
    std::size_t Length() const { return FStore ? FStore->Length : 0; }
    std::size_t size() const { return Length(); }
    bool empty() const { return Length() == 0; }

    /// Sets the number of samples; new samples are zero. When this is the only reference
    /// the elements stay in place (no copy) and memory beyond the new length is returned
    /// to the system; when the array is shared, this reference gets its own copy first
    /// and the other holders keep the old array. Length 0 drops the reference.
    /// Throws std::bad_alloc when memory cannot be had; the array is then unchanged.
    void SetLength(std::size_t NewLength);

    TGDGISample* data() { return FStore ? FStore->Data : nullptr; }
    const TGDGISample* data() const { return FStore ? FStore->Data : nullptr; }
    TGDGISample& operator[](std::size_t i) { return FStore->Data[i]; }
    const TGDGISample& operator[](std::size_t i) const { return FStore->Data[i]; }
    TGDGISample* begin() { return data(); }
    TGDGISample* end() { return data() + Length(); }
    const TGDGISample* begin() const { return data(); }
    const TGDGISample* end() const { return data() + Length(); }

    /// A new array with its own copy of the samples.
    TGraphData Clone() const;

    /// Number of references to the same array (0 for an empty array).
    long UseCount() const { return FStore ? FStore.use_count() : 0; }
    /// Whether both handles refer to the same array.
    bool SharesWith(const TGraphData& Other) const {
        return FStore != nullptr && FStore == Other.FStore;
    }
    /// Bytes currently reserved from the system for the elements.
    std::size_t ReservedBytes() const { return FStore ? FStore->Reserved : 0; }

private:
    struct Store {
        TGDGISample* Data = nullptr;
        std::size_t Length = 0;
        std::size_t Reserved = 0; // bytes held (mapping length or heap block size)
        bool Mapped = false;      // a private anonymous mapping rather than a heap block
        Store() = default;
        Store(const Store&) = delete;
        Store& operator=(const Store&) = delete;
        ~Store();
        void Resize(std::size_t NewLength);
    };
    std::shared_ptr<Store> FStore;
};

} // namespace tavrela
