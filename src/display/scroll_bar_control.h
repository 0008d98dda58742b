#pragma once
// The scroll bar the display navigates with, as its navigation logic sees it. The standard
// and the flat bar implement it with their own rules for out-of-range positions.
namespace tavrela {

class IScrollBarControl {
public:
    virtual ~IScrollBarControl() = default;

    virtual int Min() const = 0;
    virtual int Max() const = 0;
    virtual void SetMax(int Value) = 0;
    virtual int PageSize() const = 0;
    virtual int Position() const = 0;
    /// Applies the bar's own range rule; a change fires the bar's change event.
    virtual void SetPosition(int Value) = 0;
    /// Non-zero while the display changes the range itself (its change event then idles).
    virtual int Tag() const = 0;
    virtual void SetTag(int Value) = 0;
};

} // namespace tavrela
