#include "render_resource.h"

namespace tavrela {

TRenderResource::~TRenderResource() = default;

} // namespace tavrela
