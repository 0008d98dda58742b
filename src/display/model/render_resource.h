#pragma once

#include <memory>

namespace tavrela {

/// Base of every rendering resource the model keeps for the renderer (device, vertex
/// buffers, surfaces, fonts). The model only holds and releases references; the render
/// layer derives its own types and fills the handles.
class TRenderResource {
public:
    TRenderResource() = default;
    TRenderResource(const TRenderResource&) = delete;
    TRenderResource& operator=(const TRenderResource&) = delete;
    virtual ~TRenderResource();
};

/// A counted reference to a rendering resource; resetting it releases the reference.
using TRenderHandle = std::shared_ptr<TRenderResource>;

} // namespace tavrela
