#include "gl_device.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QPainter>
#include <QVector4D>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <dlfcn.h>
#include <link.h>

// Desktop OpenGL names that the ES-style function table does not define.
#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif
#ifndef GL_LINE_SMOOTH
#define GL_LINE_SMOOTH 0x0B20
#endif
#ifndef GL_LINE_SMOOTH_HINT
#define GL_LINE_SMOOTH_HINT 0x0C52
#endif
#ifndef GL_SAMPLES
#define GL_SAMPLES 0x80A9
#endif
#ifndef GL_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_TEXTURE_MAX_ANISOTROPY_EXT 0x84FE
#endif
#ifndef GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT 0x84FF
#endif
#ifndef GL_SRC_ALPHA_SATURATE
#define GL_SRC_ALPHA_SATURATE 0x0308
#endif

#ifndef GL_RGBA32F
#define GL_RGBA32F 0x8814
#endif

namespace tavrela {

namespace {

// Largest number of primitives one draw call may take. OpenGL has no such limit; this is a
// budget that keeps one curve's buffer within a few tens of megabytes.
constexpr int kMaxPrimitiveCount = 0xFFFFF;

const GlDeviceCaps* gCapsOverride = nullptr;

const char* const kVertexShader = R"(
attribute vec3 aPos;
attribute vec4 aColor;
attribute vec2 aTex;
uniform mat4 uMatrix;
uniform vec2 uShift;
varying vec4 vColor;
varying vec2 vTex;
varying vec2 vWorld;
void main() {
    // The matrix is stored for row vectors; read column-major it is its own transpose, so
    // this is v x M.
    vec4 p = uMatrix * vec4(aPos, 1.0);
    // Bands drawn "infinitely" high (the selection) reach 1e11 screen heights; rasterisers
    // lose them there. Bringing such far vertices in along y keeps vertical edges exact.
    p.y = clamp(p.y, -1.0e4 * abs(p.w), 1.0e4 * abs(p.w));
    // Depth runs 0 ... w after the projection; OpenGL clips at -w ... w.
    p.z = 2.0 * p.z - p.w;
    // Pixel centres sit on integer coordinates in the projection's convention: shift by half
    // a pixel. The image is drawn top row first so that it reads back without a flip.
    p.x = p.x + uShift.x * p.w;
    p.y = -p.y + uShift.y * p.w;
    gl_Position = p;
    vColor = aColor.zyxw;
    vTex = aTex;
    vWorld = aPos.xy;
}
)";

// One program per kind of draw rather than one with a branch per kind: a software rasteriser
// runs every branch of a shader for every pixel, several times the work of the one it needs.
const char* const kColourFragmentShader = R"(
varying vec4 vColor;
void main() {
    gl_FragColor = vColor;
}
)";

// Text: the glyphs' coverage in the texture's alpha, in one colour.
const char* const kTextFragmentShader = R"(
uniform vec4 uColor;
uniform sampler2D uTexture;
varying vec2 vTex;
void main() {
    gl_FragColor = vec4(uColor.rgb, uColor.a * texture2D(uTexture, vTex).a);
}
)";

// A picture, opaque.
const char* const kPictureFragmentShader = R"(
uniform sampler2D uTexture;
varying vec2 vTex;
void main() {
    gl_FragColor = vec4(texture2D(uTexture, vTex).rgb, 1.0);
}
)";

// Column spans: the texel of this pixel's column holds its fill's ends.
const char* const kSpanFragmentShader = R"(
uniform int uFade;
uniform vec4 uColor;
uniform vec4 uBase;
uniform vec2 uColumns;
uniform sampler2D uTexture;
varying vec2 vWorld;
void main() {
    float c = floor(vWorld.x) - uColumns.x;
    vec4 s = texture2D(uTexture, vec2((c + 0.5) / uColumns.y, 0.5));
    if (s.b < 0.5 || vWorld.y < s.r || vWorld.y > s.g) {
        discard;
    }
    if (uFade != 0) {
        float end = vWorld.y >= 0.0 ? s.g : s.r;
        float t = end != 0.0 ? clamp(vWorld.y / end, 0.0, 1.0) : 1.0;
        gl_FragColor = mix(uBase, uColor, t);
    } else {
        gl_FragColor = uColor;
    }
}
)";

const char* const kFragmentShaders[] = {kColourFragmentShader, kTextFragmentShader,
                                        kPictureFragmentShader, kSpanFragmentShader};

// The channel map: each channel of the pixel underneath through its column of the table.
const char* const kMapFragmentShader = R"(#extension GL_EXT_shader_framebuffer_fetch : require
uniform sampler2D uTable;
void main() {
    vec4 d = gl_LastFragData[0];
    vec3 u = (floor(d.rgb * 255.0 + 0.5) + 0.5) / 256.0;
    gl_FragColor = vec4(texture2D(uTable, vec2(u.r, 0.5)).r, texture2D(uTable, vec2(u.g, 0.5)).g,
                        texture2D(uTable, vec2(u.b, 0.5)).b, d.a);
}
)";

enum { kAttrPos = 0, kAttrColor = 1, kAttrTex = 2 };

GLenum BlendFactor(std::uint32_t v) {
    switch (v) {
    case GlBlendZero:
        return GL_ZERO;
    case GlBlendOne:
        return GL_ONE;
    case GlBlendSrcColor:
        return GL_SRC_COLOR;
    case GlBlendInvSrcColor:
        return GL_ONE_MINUS_SRC_COLOR;
    case GlBlendSrcAlpha:
        return GL_SRC_ALPHA;
    case GlBlendInvSrcAlpha:
        return GL_ONE_MINUS_SRC_ALPHA;
    case GlBlendDestAlpha:
        return GL_DST_ALPHA;
    case GlBlendInvDestAlpha:
        return GL_ONE_MINUS_DST_ALPHA;
    case GlBlendDestColor:
        return GL_DST_COLOR;
    case GlBlendInvDestColor:
        return GL_ONE_MINUS_DST_COLOR;
    case GlBlendSrcAlphaSat:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLenum BlendEquation(std::uint32_t v) {
    switch (v) {
    case GlBlendOpSubtract:
        return GL_FUNC_SUBTRACT;
    case GlBlendOpRevSubtract:
        return GL_FUNC_REVERSE_SUBTRACT;
    case GlBlendOpMin:
        return GL_MIN;
    case GlBlendOpMax:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

bool ValidState(GlRenderState s, std::uint32_t v) {
    switch (s) {
    case GlRenderState::SrcBlend:
    case GlRenderState::DestBlend:
        return v >= GlBlendZero && v <= GlBlendSrcAlphaSat;
    case GlRenderState::BlendOp:
        return v >= GlBlendOpAdd && v <= GlBlendOpMax;
    case GlRenderState::CullMode:
        return v >= GlCullNone && v <= GlCullCCW;
    default:
        return true;
    }
}

// Row-vector matrix mapping device pixels (y down) to clip space.
TMatrix4 PixelMatrix(QSize Size) {
    TMatrix4 m = TMatrix4::Identity();
    m.m[0][0] = 2.0f / static_cast<float>(Size.width());
    m.m[1][1] = -2.0f / static_cast<float>(Size.height());
    m.m[3][0] = -1.0f;
    m.m[3][1] = 1.0f;
    return m;
}

TMatrix4 Multiply(const TMatrix4& a, const TMatrix4& b) {
    TMatrix4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) {
                s += a.m[i][k] * b.m[k][j];
            }
            r.m[i][j] = s;
        }
    }
    return r;
}

} // namespace

// ---------------------------------------------------------------- context

namespace {

// The OpenGL driver is loaded by the windowing library and unloaded when the display
// connection closes at exit. What the driver keeps until then would be reported by leak
// checkers against an unknown module; pinning the driver keeps it named (and suppressible)
// and costs nothing, since it stays loaded for the whole run anyway.
int PinDriver(dl_phdr_info* Info, std::size_t, void*) {
    const char* name = Info->dlpi_name;
    if (name != nullptr && std::strstr(name, "_dri.so") != nullptr) {
        dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return 0;
}

} // namespace

GlContext::~GlContext() {
    if (FContext && FSurface && MakeCurrent()) {
        for (auto& program : FPrograms) {
            program.reset();
        }
        FMapProgram.reset();
    }
    if (FContext && FSurface) {
        FContext->doneCurrent();
    }
    FContext.reset();
    FSurface.reset();
}

namespace {

std::shared_ptr<GlContext>& KeptContext() {
    static std::shared_ptr<GlContext> kept;
    return kept;
}

// Runs while the application object still has its window system: the context goes before it.
void ReleaseKeptContext() {
    KeptContext().reset();
}

} // namespace

std::shared_ptr<GlContext> GlContext::Create() {
    if (QGuiApplication::instance() == nullptr) {
        return nullptr;
    }
    std::shared_ptr<GlContext>& kept = KeptContext();
    if (kept) {
        return kept;
    }
    std::shared_ptr<GlContext> c(new GlContext);
    QSurfaceFormat format;
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    format.setSamples(0);
    c->FContext = std::make_unique<QOpenGLContext>();
    c->FContext->setFormat(format);
    if (!c->FContext->create()) {
        return nullptr;
    }
    c->FSurface = std::make_unique<QOffscreenSurface>();
    c->FSurface->setFormat(c->FContext->format());
    c->FSurface->create();
    if (!c->FSurface->isValid() || !c->MakeCurrent()) {
        return nullptr;
    }
    dl_iterate_phdr(PinDriver, nullptr);
    c->FCanMap = c->FContext->format().version() >= qMakePair(3, 0);
    const auto* renderer =
        reinterpret_cast<const char*>(c->FContext->functions()->glGetString(GL_RENDERER));
    const QByteArray name = QByteArray(renderer != nullptr ? renderer : "").toLower();
    c->FSoftware = name.contains("llvmpipe") || name.contains("softpipe") ||
                   name.contains("swrast") || name.contains("software");
    kept = c;
    qAddPostRoutine(ReleaseKeptContext);
    return c;
}

QOpenGLShaderProgram* GlContext::Program(GlProgram Kind, QString* Why) {
    const auto index = static_cast<std::size_t>(Kind);
    if (FPrograms[index]) {
        return FPrograms[index].get();
    }
    auto fail = [Why](const char* text) -> QOpenGLShaderProgram* {
        if (Why) {
            *Why = QString::fromLatin1(text);
        }
        return nullptr;
    };
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShaders[index])) {
        return fail("shaders not compiled");
    }
    program->bindAttributeLocation("aPos", kAttrPos);
    program->bindAttributeLocation("aColor", kAttrColor);
    program->bindAttributeLocation("aTex", kAttrTex);
    if (!program->link()) {
        return fail("shaders not linked");
    }
    FPrograms[index] = std::move(program);
    return FPrograms[index].get();
}

QOpenGLShaderProgram* GlContext::MapProgram() {
    if (FMapProgramTried) {
        return FMapProgram.get();
    }
    FMapProgramTried = true;
    if (FContext->isOpenGLES() ||
        !FContext->hasExtension(QByteArrayLiteral("GL_EXT_shader_framebuffer_fetch"))) {
        return nullptr;
    }
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, kMapFragmentShader)) {
        return nullptr;
    }
    program->bindAttributeLocation("aPos", kAttrPos);
    program->bindAttributeLocation("aColor", kAttrColor);
    program->bindAttributeLocation("aTex", kAttrTex);
    if (!program->link()) {
        return nullptr;
    }
    FMapProgram = std::move(program);
    return FMapProgram.get();
}

bool GlContext::MakeCurrent() {
    if (QOpenGLContext::currentContext() == FContext.get() &&
        FContext->surface() == FSurface.get()) {
        return true;
    }
    return FContext->makeCurrent(FSurface.get());
}

QOpenGLExtraFunctions* GlContext::Functions() const {
    return FContext->extraFunctions();
}

// ---------------------------------------------------------------- vertex buffer

GlVertexBuffer::GlVertexBuffer(std::shared_ptr<GlContext> Context, std::size_t Bytes)
    : FContext(std::move(Context)), FSize(Bytes) {}

GlVertexBuffer::~GlVertexBuffer() {
    if (FBuffer != 0 && FContext->MakeCurrent()) {
        FContext->Functions()->glDeleteBuffers(1, &FBuffer);
    }
}

void* GlVertexBuffer::Map(std::size_t Offset, std::size_t Bytes) {
    if (!FContext->CanMapBuffers() || !FContext->MakeCurrent()) {
        return nullptr;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    if (FBuffer == 0) {
        f->glGenBuffers(1, &FBuffer);
        f->glBindBuffer(GL_ARRAY_BUFFER, FBuffer);
        f->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(FSize), nullptr, GL_STATIC_DRAW);
    } else {
        f->glBindBuffer(GL_ARRAY_BUFFER, FBuffer);
    }
    const GLbitfield discard =
        Offset == 0 && Bytes == FSize ? GL_MAP_INVALIDATE_BUFFER_BIT : GL_MAP_INVALIDATE_RANGE_BIT;
    void* p = f->glMapBufferRange(GL_ARRAY_BUFFER, static_cast<GLintptr>(Offset),
                                  static_cast<GLsizeiptr>(Bytes), GL_MAP_WRITE_BIT | discard);
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return p;
}

void* GlVertexBuffer::Lock(std::size_t Offset, std::size_t Bytes) {
    if (Bytes == 0 && Offset <= FSize) {
        Bytes = FSize - Offset;
    }
    if (FLocked || Offset > FSize || Bytes > FSize - Offset || Bytes == 0) {
        return nullptr;
    }
    if (void* mapped = Map(Offset, Bytes)) {
        FLocked = true;
        FMapped = true;
        FLockOffset = Offset;
        return mapped;
    }
    try {
        FStaging.assign(Bytes, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    FLocked = true;
    FLockOffset = Offset;
    return FStaging.data();
}

bool GlVertexBuffer::Unlock() {
    if (!FLocked) {
        return false;
    }
    FLocked = false;
    if (FMapped) {
        FMapped = false;
        if (!FContext->MakeCurrent()) {
            return false;
        }
        QOpenGLExtraFunctions* f = FContext->Functions();
        f->glBindBuffer(GL_ARRAY_BUFFER, FBuffer);
        const bool kept = f->glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
        f->glBindBuffer(GL_ARRAY_BUFFER, 0);
        return f->glGetError() == GL_NO_ERROR && kept;
    }
    std::vector<unsigned char> staging;
    staging.swap(FStaging);
    if (!FContext->MakeCurrent()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    const bool whole = FLockOffset == 0 && staging.size() == FSize;
    bool uploaded = false;
    if (FBuffer == 0) {
        f->glGenBuffers(1, &FBuffer);
        f->glBindBuffer(GL_ARRAY_BUFFER, FBuffer);
        f->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(FSize),
                        whole ? staging.data() : nullptr, GL_STATIC_DRAW);
        uploaded = whole;
    } else {
        f->glBindBuffer(GL_ARRAY_BUFFER, FBuffer);
    }
    if (!uploaded) {
        f->glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(FLockOffset),
                           static_cast<GLsizeiptr>(staging.size()), staging.data());
    }
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return f->glGetError() == GL_NO_ERROR;
}

// ---------------------------------------------------------------- surface

GlSurface::GlSurface(std::shared_ptr<GlContext> Context, int W, int H)
    : FContext(std::move(Context)), FWidth(W), FHeight(H) {}

GlSurface::~GlSurface() {
    if (FTexture != 0 && FContext->MakeCurrent()) {
        FContext->Functions()->glDeleteTextures(1, &FTexture);
    }
}

// ---------------------------------------------------------------- font

GlFont::GlFont(std::shared_ptr<GlContext> Context, const QFont& Font, int Height)
    : FContext(std::move(Context)), FFont(Font), FHeight(Height) {}

GlFont::~GlFont() {
    Evict(~quint64{0});
}

void GlFont::Evict(quint64 OlderThan) {
    if (FCache.isEmpty() || !FContext->MakeCurrent()) {
        return;
    }
    for (auto it = FCache.begin(); it != FCache.end();) {
        if (it->LastFrame < OlderThan) {
            FContext->Functions()->glDeleteTextures(1, &it->Texture);
            it = FCache.erase(it);
        } else {
            ++it;
        }
    }
}

// ---------------------------------------------------------------- device

GlDevice::GlDevice(std::shared_ptr<GlContext> Context) : FContext(std::move(Context)) {}

GlDevice::~GlDevice() {
    FStream.reset();
    if (FContext->MakeCurrent()) {
        if (FSpanTexture != 0) {
            FContext->Functions()->glDeleteTextures(1, &FSpanTexture);
        }
        if (FTableTexture != 0) {
            FContext->Functions()->glDeleteTextures(1, &FTableTexture);
        }
        FProbe.reset();
        if (FQuadBuffer != 0) {
            FContext->Functions()->glDeleteBuffers(1, &FQuadBuffer);
        }
        if (FIndexBuffer != 0) {
            FContext->Functions()->glDeleteBuffers(1, &FIndexBuffer);
        }
        FVao.reset();
        FResolve.reset();
        FTarget.reset();
    }
}

std::shared_ptr<GlDevice> GlDevice::Create(std::shared_ptr<GlContext> Context,
                                           const GlPresentParameters& Parameters, QString* Why) {
    if (!Context) {
        if (Why) {
            *Why = QStringLiteral("no graphics context");
        }
        return nullptr;
    }
    std::shared_ptr<GlDevice> d(new GlDevice(std::move(Context)));
    if (!d->Init(Parameters, Why)) {
        return nullptr;
    }
    return d;
}

bool GlDevice::Init(const GlPresentParameters& P, QString* Why) {
    auto fail = [Why](const char* text) {
        if (Why) {
            *Why = QString::fromLatin1(text);
        }
        return false;
    };
    if (!MakeCurrent()) {
        return fail("context cannot be made current");
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    FDpr = P.DevicePixelRatio > 0 ? P.DevicePixelRatio : 1.0;
    FLogicalSize = P.BackBufferSize.expandedTo(QSize(1, 1));
    FPixelSize = (QSizeF(FLogicalSize) * FDpr).toSize().expandedTo(QSize(1, 1));

    // The requested sample count is not negotiated: without it there is no device.
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::NoAttachment);
    format.setInternalTextureFormat(GL_RGBA8);
    if (P.MultiSampleType > 0) {
        if (!QOpenGLFramebufferObject::hasOpenGLFramebufferBlit()) {
            return fail("multisampling not available");
        }
        format.setSamples(P.MultiSampleType);
    }
    FTarget = std::make_unique<QOpenGLFramebufferObject>(FPixelSize, format);
    if (!FTarget->isValid()) {
        return fail("back buffer not created");
    }
    if (P.MultiSampleType > 0) {
        FTarget->bind();
        GLint samples = 0;
        f->glGetIntegerv(GL_SAMPLES, &samples);
        if (samples < P.MultiSampleType) {
            return fail("multisampling not available");
        }
        FSamples = samples;
        // Where the samples sit decides which thin primitives can show at all.
        FSampleXOffsets = {0.5};
        for (GLint i = 0; i < samples; ++i) {
            GLfloat pos[2] = {0.5f, 0.5f};
            f->glGetMultisamplefv(GL_SAMPLE_POSITION, static_cast<GLuint>(i), pos);
            if (f->glGetError() == GL_NO_ERROR) {
                FSampleXOffsets.push_back(pos[0]);
            }
        }
        std::sort(FSampleXOffsets.begin(), FSampleXOffsets.end());
        FSampleXOffsets.erase(std::unique(FSampleXOffsets.begin(), FSampleXOffsets.end()),
                              FSampleXOffsets.end());
        QOpenGLFramebufferObjectFormat single;
        single.setAttachment(QOpenGLFramebufferObject::NoAttachment);
        single.setInternalTextureFormat(GL_RGBA8);
        FResolve = std::make_unique<QOpenGLFramebufferObject>(FPixelSize, single);
        if (!FResolve->isValid()) {
            return fail("back buffer not created");
        }
    }

    GLint subpixelBits = 4;
    f->glGetIntegerv(GL_SUBPIXEL_BITS, &subpixelBits);
    FSnapMargin = std::ldexp(1.0, -std::clamp(subpixelBits, 1, 16)) + 0.001;

    for (const GlProgram kind :
         {GlProgram::Colour, GlProgram::Text, GlProgram::Picture, GlProgram::Spans}) {
        FPrograms[static_cast<std::size_t>(kind)] = FContext->Program(kind, Why);
        if (FPrograms[static_cast<std::size_t>(kind)] == nullptr) {
            return false;
        }
    }
    FVao = std::make_unique<QOpenGLVertexArrayObject>();
    FVao->create();
    f->glGenBuffers(1, &FQuadBuffer);
    f->glGenBuffers(1, &FIndexBuffer);

    // The device's initial states.
    FStates[static_cast<std::uint32_t>(GlRenderState::AlphaBlendEnable)] = 0;
    FStates[static_cast<std::uint32_t>(GlRenderState::SrcBlend)] = GlBlendOne;
    FStates[static_cast<std::uint32_t>(GlRenderState::DestBlend)] = GlBlendZero;
    FStates[static_cast<std::uint32_t>(GlRenderState::BlendOp)] = GlBlendOpAdd;
    FStates[static_cast<std::uint32_t>(GlRenderState::AlphaTestEnable)] = 0;
    FStates[static_cast<std::uint32_t>(GlRenderState::CullMode)] = GlCullCCW;
    FStates[static_cast<std::uint32_t>(GlRenderState::DitherEnable)] = 0;
    FStates[static_cast<std::uint32_t>(GlRenderState::Lighting)] = 1;
    FStates[static_cast<std::uint32_t>(GlRenderState::MultisampleAntialias)] = 1;
    FStates[static_cast<std::uint32_t>(GlRenderState::AntialiasedLineEnable)] = 0;
    FPresented = QImage();
    return true;
}

bool GlDevice::MakeCurrent() {
    return FContext->MakeCurrent();
}

GlDeviceCaps GlDevice::GetDeviceCaps() const {
    if (gCapsOverride != nullptr) {
        return *gCapsOverride;
    }
    return {kMaxPrimitiveCount};
}

void GlDevice::SetCapsOverride(const GlDeviceCaps* Caps) {
    gCapsOverride = Caps;
}

bool GlDevice::SetRenderState(GlRenderState State, std::uint32_t Value) {
    if (!ValidState(State, Value)) {
        return false;
    }
    FStates[static_cast<std::uint32_t>(State)] = Value;
    FStateDirty = true;
    return true;
}

std::uint32_t GlDevice::GetRenderState(GlRenderState State) const {
    return FStates.value(static_cast<std::uint32_t>(State), 0);
}

bool GlDevice::SetSamplerState(int Sampler, GlSamplerState State, std::uint32_t Value) {
    if (Sampler != 0) {
        return false;
    }
    if (State == GlSamplerState::MinFilter) {
        FMinFilter = Value;
    } else if (State == GlSamplerState::MagFilter) {
        FMagFilter = Value;
    }
    return true;
}

bool GlDevice::SetTransform(GlTransformState State, const TMatrix4& Matrix) {
    switch (State) {
    case GlTransformState::World:
        FWorld = Matrix;
        break;
    case GlTransformState::View:
        FView = Matrix;
        break;
    case GlTransformState::Projection:
        FProjection = Matrix;
        break;
    }
    return true;
}

const TMatrix4& GlDevice::GetTransform(GlTransformState State) const {
    switch (State) {
    case GlTransformState::View:
        return FView;
    case GlTransformState::Projection:
        return FProjection;
    default:
        return FWorld;
    }
}

bool GlDevice::SetFVF(std::uint32_t Format) {
    FFvf = Format;
    return true;
}

bool GlDevice::SetStreamSource(std::shared_ptr<GlVertexBuffer> Buffer) {
    FStream = std::move(Buffer);
    return true;
}

void GlDevice::ApplyState() {
    QOpenGLExtraFunctions* f = FContext->Functions();
    if (FProbing) {
        FProbe->bind();
        f->glViewport(0, 0, FProbe->width(), FProbe->height());
    } else {
        FTarget->bind();
        f->glViewport(0, 0, FPixelSize.width(), FPixelSize.height());
    }
    f->glDisable(GL_DEPTH_TEST);
    f->glDisable(GL_SCISSOR_TEST);
    f->glDisable(GL_STENCIL_TEST);
    // The back buffer has no alpha channel: keep it opaque whatever is drawn.
    f->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE,
                   qEnvironmentVariableIsSet("XMASK") ? GL_TRUE : GL_FALSE);
    auto state = [this](GlRenderState s) { return GetRenderState(s); };
    if (state(GlRenderState::AlphaBlendEnable) != 0) {
        f->glEnable(GL_BLEND);
    } else {
        f->glDisable(GL_BLEND);
    }
    f->glBlendFunc(BlendFactor(state(GlRenderState::SrcBlend)),
                   BlendFactor(state(GlRenderState::DestBlend)));
    f->glBlendEquation(BlendEquation(state(GlRenderState::BlendOp)));
    switch (state(GlRenderState::CullMode)) {
    case GlCullNone:
        f->glDisable(GL_CULL_FACE);
        break;
    case GlCullCW:
    case GlCullCCW:
        // Drawing upside down turns the winding round: the screen's clockwise is OpenGL's
        // clockwise here too, since the image is flipped back when read.
        f->glEnable(GL_CULL_FACE);
        f->glFrontFace(state(GlRenderState::CullMode) == GlCullCW ? GL_CCW : GL_CW);
        f->glCullFace(GL_BACK);
        break;
    default:
        break;
    }
    if (state(GlRenderState::DitherEnable) != 0 && !qEnvironmentVariableIsSet("XDITHER")) {
        f->glEnable(GL_DITHER);
    } else {
        f->glDisable(GL_DITHER);
    }
    if (!FContext->Context()->isOpenGLES()) {
        if (FSamples > 0 && state(GlRenderState::MultisampleAntialias) != 0) {
            f->glEnable(GL_MULTISAMPLE);
        } else {
            f->glDisable(GL_MULTISAMPLE);
        }
        if (state(GlRenderState::AntialiasedLineEnable) != 0) {
            f->glEnable(GL_LINE_SMOOTH);
            f->glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        } else {
            f->glDisable(GL_LINE_SMOOTH);
        }
    }
    FPrograms[static_cast<std::size_t>(GlProgram::Colour)]->bind();
    FVao->bind();
    FStateDirty = false;
}

bool GlDevice::DrawPrimitive(GlPrimitiveType Type, int StartVertex, int PrimitiveCount) {
    if (!FInScene || !FStream || FFvf != 0x42 || PrimitiveCount <= 0 || StartVertex < 0 ||
        !MakeCurrent() || FStream->FBuffer == 0) {
        return false;
    }
    long long vertices = 0;
    GLenum mode = GL_TRIANGLES;
    const long long n = PrimitiveCount;
    switch (Type) {
    case GlPrimitiveType::PointList:
        vertices = n;
        mode = GL_POINTS;
        break;
    case GlPrimitiveType::LineList:
        vertices = 2 * n;
        mode = GL_LINES;
        break;
    case GlPrimitiveType::LineStrip:
        vertices = n + 1;
        mode = GL_LINE_STRIP;
        break;
    case GlPrimitiveType::TriangleList:
        vertices = 3 * n;
        mode = GL_TRIANGLES;
        break;
    case GlPrimitiveType::TriangleStrip:
        vertices = n + 2;
        mode = GL_TRIANGLE_STRIP;
        break;
    case GlPrimitiveType::TriangleFan:
        vertices = n + 2;
        mode = GL_TRIANGLE_FAN;
        break;
    default:
        return false;
    }
    if (StartVertex + vertices > FStream->VertexCount() || !PrepareStreamDraw()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    f->glDrawArrays(mode, StartVertex, static_cast<GLsizei>(vertices));
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    ++FDrawCalls;
    FPrimitivesDrawn += static_cast<quint64>(PrimitiveCount);
    return true;
}

bool GlDevice::PrepareStreamDraw() {
    ApplyState();
    QOpenGLExtraFunctions* f = FContext->Functions();
    const TMatrix4 m = Multiply(Multiply(FWorld, FView), FProjection);
    QOpenGLShaderProgram* program = FPrograms[static_cast<std::size_t>(GlProgram::Colour)];
    f->glUniformMatrix4fv(program->uniformLocation("uMatrix"), 1, GL_FALSE, &m.m[0][0]);
    program->setUniformValue("uShift", 1.0f / static_cast<float>(FPixelSize.width()),
                             1.0f / static_cast<float>(FPixelSize.height()));
    f->glBindBuffer(GL_ARRAY_BUFFER, FStream->FBuffer);
    f->glEnableVertexAttribArray(kAttrPos);
    f->glEnableVertexAttribArray(kAttrColor);
    f->glDisableVertexAttribArray(kAttrTex);
    f->glVertexAttribPointer(kAttrPos, 3, GL_FLOAT, GL_FALSE, 16, nullptr);
    f->glVertexAttribPointer(kAttrColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, 16,
                             reinterpret_cast<const void*>(std::uintptr_t{12}));
    f->glVertexAttrib2f(kAttrTex, 0.0f, 0.0f);
    return true;
}

bool GlDevice::CanDrawColumnSpans() const {
    if (gCapsOverride != nullptr && !gCapsOverride->ColumnSpans) {
        return false;
    }
    const QOpenGLContext* c = FContext->Context();
    return !c->isOpenGLES() && c->format().version() >= qMakePair(3, 0);
}

bool GlDevice::DrawColumnSpans(int FirstColumn, const std::vector<float>& LoHi, TD3DColor Top,
                               TD3DColor Base, bool Fade) {
    const int count = static_cast<int>(LoHi.size() / 2);
    if (!FInScene || !CanDrawColumnSpans() || !MakeCurrent()) {
        return false;
    }
    if (count <= 0) {
        return true;
    }
    GLint maxTexture = 0;
    QOpenGLExtraFunctions* f = FContext->Functions();
    f->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    if (count > maxTexture) {
        return false;
    }
    // A quad per strip of columns, each as high as that strip's spans reach: the pixels
    // above and below a quiet passage are not looked at.
    constexpr int kStripColumns = 16;
    FSpanTexels.assign(static_cast<std::size_t>(count) * 4, 0.0f);
    FSpanQuads.clear();
    for (int first = 0; first < count; first += kStripColumns) {
        const int last = std::min(first + kStripColumns, count);
        float yMin = 0.0f;
        float yMax = 0.0f;
        bool any = false;
        for (int i = first; i < last; ++i) {
            const float lo = LoHi[2 * static_cast<std::size_t>(i)];
            const float hi = LoHi[2 * static_cast<std::size_t>(i) + 1];
            if (!(lo <= hi)) {
                continue;
            }
            float* t = &FSpanTexels[4 * static_cast<std::size_t>(i)];
            t[0] = lo;
            t[1] = hi;
            t[2] = 1.0f;
            yMin = any ? std::min(yMin, lo) : lo;
            yMax = any ? std::max(yMax, hi) : hi;
            any = true;
        }
        if (!any || !(yMax > yMin)) {
            continue;
        }
        const auto x0 = static_cast<float>(FirstColumn + first);
        const auto x1 = static_cast<float>(FirstColumn + last);
        for (const auto& [x, y] : {std::pair{x0, yMin}, std::pair{x1, yMin}, std::pair{x0, yMax},
                                   std::pair{x1, yMin}, std::pair{x1, yMax}, std::pair{x0, yMax}}) {
            FSpanQuads.insert(FSpanQuads.end(), {x, y, 0.0f});
        }
    }
    if (FSpanQuads.empty()) {
        return true;
    }
    ApplyState();
    f->glActiveTexture(GL_TEXTURE0);
    if (FSpanTexture == 0) {
        f->glGenTextures(1, &FSpanTexture);
        FSpanTextureWidth = 0;
    }
    f->glBindTexture(GL_TEXTURE_2D, FSpanTexture);
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (FSpanTextureWidth < count) {
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, count, 1, 0, GL_RGBA, GL_FLOAT,
                        FSpanTexels.data());
        FSpanTextureWidth = count;
    } else {
        f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, count, 1, GL_RGBA, GL_FLOAT, FSpanTexels.data());
    }
    const TMatrix4 m = Multiply(Multiply(FWorld, FView), FProjection);
    auto colour = [](TD3DColor c) {
        return QVector4D(static_cast<float>((c >> 16) & 0xFF) / 255.0f,
                         static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                         static_cast<float>(c & 0xFF) / 255.0f,
                         static_cast<float>((c >> 24) & 0xFF) / 255.0f);
    };
    QOpenGLShaderProgram* program = FPrograms[static_cast<std::size_t>(GlProgram::Spans)];
    program->bind();
    program->setUniformValue("uFade", Fade ? 1 : 0);
    f->glUniformMatrix4fv(program->uniformLocation("uMatrix"), 1, GL_FALSE, &m.m[0][0]);
    program->setUniformValue("uShift", 1.0f / static_cast<float>(FPixelSize.width()),
                             1.0f / static_cast<float>(FPixelSize.height()));
    program->setUniformValue("uColor", colour(Top));
    program->setUniformValue("uBase", colour(Base));
    program->setUniformValue("uColumns", static_cast<float>(FirstColumn),
                             static_cast<float>(FSpanTextureWidth));
    program->setUniformValue("uTexture", 0);
    f->glBindBuffer(GL_ARRAY_BUFFER, FQuadBuffer);
    f->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(FSpanQuads.size() * sizeof(float)),
                    FSpanQuads.data(), GL_STREAM_DRAW);
    f->glEnableVertexAttribArray(kAttrPos);
    f->glDisableVertexAttribArray(kAttrColor);
    f->glDisableVertexAttribArray(kAttrTex);
    f->glVertexAttribPointer(kAttrPos, 3, GL_FLOAT, GL_FALSE, 12, nullptr);
    f->glVertexAttrib4f(kAttrColor, 1.0f, 1.0f, 1.0f, 1.0f);
    f->glVertexAttrib2f(kAttrTex, 0.0f, 0.0f);
    f->glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(FSpanQuads.size() / 3));
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    ++FDrawCalls;
    FPrimitivesDrawn += FSpanQuads.size() / 9;
    FStateDirty = true;
    return f->glGetError() == GL_NO_ERROR;
}

bool GlDevice::CanMapChannels() {
    if (gCapsOverride != nullptr && !gCapsOverride->ChannelMaps) {
        return false;
    }
    return MakeCurrent() && FContext->MapProgram() != nullptr;
}

bool GlDevice::BeginChannelProbe() {
    if (FProbing || !CanMapChannels()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    if (!FProbe) {
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::NoAttachment);
        format.setInternalTextureFormat(GL_RGBA8);
        FProbe = std::make_unique<QOpenGLFramebufferObject>(QSize(256, 1), format);
        if (!FProbe->isValid()) {
            FProbe.reset();
            return false;
        }
    }
    std::array<std::uint8_t, 1024> ramp{};
    for (std::size_t v = 0; v < 256; ++v) {
        ramp[4 * v] = ramp[4 * v + 1] = ramp[4 * v + 2] = static_cast<std::uint8_t>(v);
        ramp[4 * v + 3] = 0xFF;
    }
    f->glBindTexture(GL_TEXTURE_2D, FProbe->texture());
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_BYTE, ramp.data());
    f->glBindTexture(GL_TEXTURE_2D, 0);
    FProbing = true;
    FStateDirty = true;
    return true;
}

std::optional<GlChannelTable> GlDevice::EndChannelProbe() {
    if (!FProbing || !MakeCurrent()) {
        return std::nullopt;
    }
    FProbing = false;
    QOpenGLExtraFunctions* f = FContext->Functions();
    std::array<std::uint8_t, 1024> out{};
    FProbe->bind();
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f->glReadPixels(0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    FTarget->bind();
    FStateDirty = true;
    if (f->glGetError() != GL_NO_ERROR) {
        return std::nullopt;
    }
    GlChannelTable table{};
    for (std::size_t v = 0; v < 256; ++v) {
        for (std::size_t c = 0; c < 3; ++c) {
            table[3 * v + c] = out[4 * v + c];
        }
    }
    return table;
}

bool GlDevice::DrawChannelMap(const GlChannelTable& Table, int StartVertex, int PrimitiveCount) {
    if (!FInScene || !FStream || FFvf != 0x42 || PrimitiveCount <= 0 || StartVertex < 0 ||
        !CanMapChannels() || FStream->FBuffer == 0 ||
        StartVertex + 3LL * PrimitiveCount > FStream->VertexCount()) {
        return false;
    }
    QOpenGLShaderProgram* program = FContext->MapProgram();
    ApplyState();
    QOpenGLExtraFunctions* f = FContext->Functions();
    f->glDisable(GL_BLEND);
    f->glActiveTexture(GL_TEXTURE0);
    if (FTableTexture == 0) {
        f->glGenTextures(1, &FTableTexture);
        f->glBindTexture(GL_TEXTURE_2D, FTableTexture);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        FTableLoaded = false;
    } else {
        f->glBindTexture(GL_TEXTURE_2D, FTableTexture);
    }
    if (!FTableLoaded || FTable != Table) {
        std::array<std::uint8_t, 1024> texels{};
        for (std::size_t v = 0; v < 256; ++v) {
            for (std::size_t c = 0; c < 3; ++c) {
                texels[4 * v + c] = Table[3 * v + c];
            }
            texels[4 * v + 3] = 0xFF;
        }
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                        texels.data());
        FTable = Table;
        FTableLoaded = true;
    }
    program->bind();
    const TMatrix4 m = Multiply(Multiply(FWorld, FView), FProjection);
    f->glUniformMatrix4fv(program->uniformLocation("uMatrix"), 1, GL_FALSE, &m.m[0][0]);
    program->setUniformValue("uShift", 1.0f / static_cast<float>(FPixelSize.width()),
                             1.0f / static_cast<float>(FPixelSize.height()));
    program->setUniformValue("uTable", 0);
    f->glBindBuffer(GL_ARRAY_BUFFER, FStream->FBuffer);
    f->glEnableVertexAttribArray(kAttrPos);
    f->glDisableVertexAttribArray(kAttrColor);
    f->glDisableVertexAttribArray(kAttrTex);
    f->glVertexAttribPointer(kAttrPos, 3, GL_FLOAT, GL_FALSE, 16, nullptr);
    f->glVertexAttrib4f(kAttrColor, 1.0f, 1.0f, 1.0f, 1.0f);
    f->glVertexAttrib2f(kAttrTex, 0.0f, 0.0f);
    f->glDrawArrays(GL_TRIANGLES, StartVertex, 3 * PrimitiveCount);
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    ++FDrawCalls;
    FPrimitivesDrawn += static_cast<quint64>(PrimitiveCount);
    FStateDirty = true;
    return f->glGetError() == GL_NO_ERROR;
}

bool GlDevice::DrawPrimitiveRuns(GlPrimitiveType Type, const std::vector<Run>& Runs) {
    if (!FInScene || !FStream || FFvf != 0x42 || !MakeCurrent() || FStream->FBuffer == 0) {
        return false;
    }
    int per = 0;
    GLenum mode = GL_TRIANGLES;
    switch (Type) {
    case GlPrimitiveType::PointList:
        per = 1;
        mode = GL_POINTS;
        break;
    case GlPrimitiveType::LineList:
        per = 2;
        mode = GL_LINES;
        break;
    case GlPrimitiveType::TriangleList:
        per = 3;
        mode = GL_TRIANGLES;
        break;
    default:
        return false;
    }
    std::vector<GLuint> indices;
    quint64 primitives = 0;
    const long long limit = FStream->VertexCount();
    for (const Run& r : Runs) {
        const long long count = static_cast<long long>(r.PrimitiveCount) * per;
        if (r.StartVertex < 0 || r.PrimitiveCount < 0 || r.StartVertex + count > limit) {
            return false;
        }
        for (long long i = 0; i < count; ++i) {
            indices.push_back(static_cast<GLuint>(r.StartVertex + i));
        }
        primitives += static_cast<quint64>(r.PrimitiveCount);
    }
    if (indices.empty()) {
        return true;
    }
    if (!PrepareStreamDraw()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, FIndexBuffer);
    f->glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                    static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
                    GL_STREAM_DRAW);
    f->glDrawElements(mode, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
    f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    ++FDrawCalls;
    FPrimitivesDrawn += primitives;
    return true;
}

double GlDevice::WindowX(double X, double Y, double Z) const {
    const TMatrix4 m = Multiply(Multiply(FWorld, FView), FProjection);
    double c[4] = {0, 0, 0, 0};
    const double v[4] = {X, Y, Z, 1.0};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            c[j] += v[k] * static_cast<double>(m.m[k][j]);
        }
    }
    const double w = FPixelSize.width();
    // The vertex shader's half-pixel shift included.
    return (c[0] / c[3] + 1.0) * w / 2.0 + 0.5;
}

double GlDevice::WindowXOfWorld(double X, double Z) const {
    const TMatrix4 m = Multiply(FView, FProjection);
    double c[4] = {0, 0, 0, 0};
    const double v[4] = {X, 0.0, Z, 1.0};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            c[j] += v[k] * static_cast<double>(m.m[k][j]);
        }
    }
    return (c[0] / c[3] + 1.0) * FPixelSize.width() / 2.0 + 0.5;
}

double GlDevice::WindowYOfWorld(double Y, double Z) const {
    const TMatrix4 m = Multiply(FView, FProjection);
    double c[4] = {0, 0, 0, 0};
    const double v[4] = {0.0, Y, Z, 1.0};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            c[j] += v[k] * static_cast<double>(m.m[k][j]);
        }
    }
    return (1.0 - c[1] / c[3]) * FPixelSize.height() / 2.0 + 0.5;
}

void GlDevice::DrawQuad(const QRectF& R, const QRectF& T, unsigned Texture, int Mode,
                        TD3DColor Color) {
    ApplyState();
    QOpenGLExtraFunctions* f = FContext->Functions();
    const float l = static_cast<float>(R.left());
    const float t = static_cast<float>(R.top());
    const float r = static_cast<float>(R.right());
    const float b = static_cast<float>(R.bottom());
    const float u0 = static_cast<float>(T.left());
    const float v0 = static_cast<float>(T.top());
    const float u1 = static_cast<float>(T.right());
    const float v1 = static_cast<float>(T.bottom());
    const float quad[6][5] = {{l, t, 0.5f, u0, v0}, {l, b, 0.5f, u0, v1}, {r, b, 0.5f, u1, v1},
                              {l, t, 0.5f, u0, v0}, {r, b, 0.5f, u1, v1}, {r, t, 0.5f, u1, v0}};
    const TMatrix4 m = PixelMatrix(FPixelSize);
    QOpenGLShaderProgram* program =
        FPrograms[static_cast<std::size_t>(Mode == 1 ? GlProgram::Text : GlProgram::Picture)];
    program->bind();
    f->glUniformMatrix4fv(program->uniformLocation("uMatrix"), 1, GL_FALSE, &m.m[0][0]);
    program->setUniformValue("uShift", 0.0f, 0.0f);
    program->setUniformValue("uColor", static_cast<float>((Color >> 16) & 0xFF) / 255.0f,
                             static_cast<float>((Color >> 8) & 0xFF) / 255.0f,
                             static_cast<float>(Color & 0xFF) / 255.0f,
                             static_cast<float>((Color >> 24) & 0xFF) / 255.0f);
    program->setUniformValue("uTexture", 0);
    f->glActiveTexture(GL_TEXTURE0);
    f->glBindTexture(GL_TEXTURE_2D, Texture);
    f->glBindBuffer(GL_ARRAY_BUFFER, FQuadBuffer);
    f->glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STREAM_DRAW);
    f->glEnableVertexAttribArray(kAttrPos);
    f->glDisableVertexAttribArray(kAttrColor);
    f->glEnableVertexAttribArray(kAttrTex);
    f->glVertexAttribPointer(kAttrPos, 3, GL_FLOAT, GL_FALSE, 20, nullptr);
    f->glVertexAttribPointer(kAttrTex, 2, GL_FLOAT, GL_FALSE, 20,
                             reinterpret_cast<const void*>(std::uintptr_t{12}));
    f->glVertexAttrib4f(kAttrColor, 1.0f, 1.0f, 1.0f, 1.0f);
    f->glDisable(GL_CULL_FACE);
    if (!FContext->Context()->isOpenGLES()) {
        f->glDisable(GL_LINE_SMOOTH);
    }
    if (Mode == 1) {
        f->glEnable(GL_BLEND);
        f->glBlendEquation(GL_FUNC_ADD);
        f->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        f->glDisable(GL_BLEND);
    }
    f->glDrawArrays(GL_TRIANGLES, 0, 6);
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    FStateDirty = true;
}

bool GlDevice::Clear(TD3DColor Color) {
    if (!MakeCurrent()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    FTarget->bind();
    f->glViewport(0, 0, FPixelSize.width(), FPixelSize.height());
    f->glDisable(GL_SCISSOR_TEST);
    f->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    f->glClearColor(static_cast<float>((Color >> 16) & 0xFF) / 255.0f,
                    static_cast<float>((Color >> 8) & 0xFF) / 255.0f,
                    static_cast<float>(Color & 0xFF) / 255.0f, 1.0f);
    f->glClear(GL_COLOR_BUFFER_BIT);
    FStateDirty = true;
    return true;
}

bool GlDevice::BeginScene() {
    if (FInScene) {
        return false;
    }
    FInScene = true;
    return true;
}

bool GlDevice::EndScene() {
    if (!FInScene) {
        return false;
    }
    FInScene = false;
    return true;
}

bool GlDevice::Present() {
    if (!MakeCurrent()) {
        return false;
    }
    FHasFrame = true;
    if (FPresentWindow && !FWindowBroken) {
        if (QWindow* window = FPresentWindow()) {
            ++FFrame;
            FStateDirty = true;
            FPresented = QImage();
            if (!window->isExposed()) {
                // Shown when the window is exposed again.
                return true;
            }
            if (PresentToWindow(*window)) {
                if (FWindowShown) {
                    FWindowShown();
                }
                return true;
            }
            FWindowBroken = true;
            if (FWindowFailed) {
                FWindowFailed();
            }
            --FFrame;
        }
    }
    FPresented = ReadFrame();
    if (FPresented.isNull()) {
        return false;
    }
    ++FFrame;
    FStateDirty = true;
    if (FPresentTarget) {
        FPresentTarget(FPresented);
    }
    return true;
}

QImage GlDevice::ReadFrame() {
    if (!FHasFrame || !MakeCurrent()) {
        return {};
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    QOpenGLFramebufferObject* source = FTarget.get();
    if (FResolve) {
        QOpenGLFramebufferObject::blitFramebuffer(FResolve.get(), FTarget.get());
        source = FResolve.get();
    }
    QImage image(FPixelSize, QImage::Format_RGBX8888);
    if (image.isNull()) {
        return {};
    }
    source->bind();
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f->glReadPixels(0, 0, FPixelSize.width(), FPixelSize.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                    image.bits());
    FTarget->bind();
    FStateDirty = true;
    ++FReadBacks;
    if (f->glGetError() != GL_NO_ERROR) {
        return {};
    }
    image.setDevicePixelRatio(FDpr);
    return image;
}

bool GlDevice::PresentToWindow(QWindow& Window) {
    QOpenGLContext* context = FContext->Context();
    if (!context->makeCurrent(&Window)) {
        MakeCurrent();
        return false;
    }
    QOpenGLExtraFunctions* f = context->extraFunctions();
    while (f->glGetError() != GL_NO_ERROR) {
    }
    QOpenGLFramebufferObject* source = FTarget.get();
    if (FResolve) {
        QOpenGLFramebufferObject::blitFramebuffer(FResolve.get(), FTarget.get());
        source = FResolve.get();
    }
    const QSize window = (QSizeF(Window.size()) * Window.devicePixelRatio()).toSize();
    f->glBindFramebuffer(GL_READ_FRAMEBUFFER, source->handle());
    f->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, context->defaultFramebufferObject());
    f->glDisable(GL_SCISSOR_TEST);
    f->glViewport(0, 0, window.width(), window.height());
    // The back buffer holds its top row first; the window's first row is its bottom one. A
    // frame of another size is stretched, as it would be on presenting.
    f->glBlitFramebuffer(0, 0, FPixelSize.width(), FPixelSize.height(), 0, window.height(),
                         window.width(), 0, GL_COLOR_BUFFER_BIT,
                         window == FPixelSize ? GL_NEAREST : GL_LINEAR);
    const bool blitted = f->glGetError() == GL_NO_ERROR;
    if (blitted) {
        context->swapBuffers(&Window);
    }
    MakeCurrent();
    FTarget->bind();
    return blitted;
}

std::shared_ptr<GlVertexBuffer> GlDevice::CreateVertexBuffer(std::size_t Bytes) {
    if (Bytes == 0) {
        return nullptr;
    }
    try {
        return std::shared_ptr<GlVertexBuffer>(new GlVertexBuffer(FContext, Bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::shared_ptr<GlSurface> GlDevice::CreateOffscreenPlainSurface(int Width, int Height) {
    if (Width <= 0 || Height <= 0 || !MakeCurrent()) {
        return nullptr;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    GLint maxSize = 0;
    f->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (Width > maxSize || Height > maxSize) {
        return nullptr;
    }
    std::shared_ptr<GlSurface> s(new GlSurface(FContext, Width, Height));
    f->glGenTextures(1, &s->FTexture);
    f->glBindTexture(GL_TEXTURE_2D, s->FTexture);
    f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, Width, Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                    nullptr);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    if (f->glGetError() != GL_NO_ERROR) {
        return nullptr;
    }
    return s;
}

bool GlDevice::LoadSurfaceFromFile(GlSurface& Surface, const QString& FileName) {
    QImage image(FileName);
    if (image.isNull() || !MakeCurrent()) {
        return false;
    }
    if (image.size() != QSize(Surface.Width(), Surface.Height())) {
        image = image.scaled(Surface.Width(), Surface.Height(), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    image = image.convertToFormat(QImage::Format_RGBA8888);
    QOpenGLExtraFunctions* f = FContext->Functions();
    f->glBindTexture(GL_TEXTURE_2D, Surface.FTexture);
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Surface.Width(), Surface.Height(), GL_RGBA,
                       GL_UNSIGNED_BYTE, image.constBits());
    f->glBindTexture(GL_TEXTURE_2D, 0);
    return f->glGetError() == GL_NO_ERROR;
}

bool GlDevice::StretchRect(GlSurface& Surface, const TRect& Source, const QRect& Dest) {
    if (Source.Width() <= 0 || Source.Height() <= 0 || Dest.isEmpty() || !MakeCurrent()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    f->glBindTexture(GL_TEXTURE_2D, Surface.FTexture);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (FMinFilter == GlTexfAnisotropic &&
        FContext->Context()->hasExtension("GL_EXT_texture_filter_anisotropic")) {
        GLfloat maxAniso = 1.0f;
        f->glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAniso);
        f->glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAniso);
    }
    const double w = Surface.Width();
    const double h = Surface.Height();
    const QRectF tex(Source.Left / w, Source.Top / h, Source.Width() / w, Source.Height() / h);
    const QRectF dest(Dest.left() * FDpr, Dest.top() * FDpr, Dest.width() * FDpr,
                      Dest.height() * FDpr);
    DrawQuad(dest, tex, Surface.FTexture, 2, 0xFFFFFFFF);
    return true;
}

std::shared_ptr<GlFont> GlDevice::CreateFont(int Height, int Weight, bool Italic,
                                             const QString& Face) {
    if (Height < 1) {
        return nullptr;
    }
    QFont font(Face);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(Weight, 1, 1000)));
    font.setItalic(Italic);
    font.setPixelSize(Height);
    // The height is the whole text cell (ascent plus descent), not the em size.
    const QFontMetricsF m(font);
    const qreal cell = m.ascent() + m.descent();
    if (cell > 0) {
        font.setPixelSize(std::max(1, qRound(Height * Height / cell)));
    }
    return std::shared_ptr<GlFont>(new GlFont(FContext, font, Height));
}

int GlDevice::MeasureText(const GlFont& Font, const QString& Text) const {
    return QFontMetrics(Font.FFont).horizontalAdvance(Text);
}

bool GlDevice::DrawText(GlFont& Font, const QString& Text, int X, int Y, TD3DColor Color) {
    if (Text.isEmpty()) {
        return true;
    }
    if (!MakeCurrent()) {
        return false;
    }
    QOpenGLExtraFunctions* f = FContext->Functions();
    auto it = Font.FCache.find(Text);
    if (it == Font.FCache.end()) {
        if (Font.FCache.size() > 256) {
            Font.Evict(FFrame > 2 ? FFrame - 2 : 0);
        }
        const QFontMetrics m(Font.FFont);
        const QRect bounds = m.boundingRect(Text);
        const int left = std::min(0, bounds.left()) - 1;
        const int right = std::max(m.horizontalAdvance(Text), bounds.right() + 1) + 1;
        const int height = std::max(Font.FHeight, m.height());
        QImage image((QSizeF(right - left, height) * FDpr).toSize().expandedTo(QSize(1, 1)),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(FDpr);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setFont(Font.FFont);
            p.setPen(Qt::white);
            p.drawText(QPointF(-left, m.ascent()), Text);
        }
        image = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        GlFont::Cached c;
        c.Size = image.size();
        c.Left = left;
        f->glGenTextures(1, &c.Texture);
        f->glBindTexture(GL_TEXTURE_2D, c.Texture);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width(), image.height(), 0, GL_RGBA,
                        GL_UNSIGNED_BYTE, image.constBits());
        f->glBindTexture(GL_TEXTURE_2D, 0);
        it = Font.FCache.insert(Text, c);
    }
    it->LastFrame = FFrame;
    const QRectF dest((X + it->Left) * FDpr, Y * FDpr, it->Size.width(), it->Size.height());
    DrawQuad(dest, QRectF(0, 0, 1, 1), it->Texture, 1, Color);
    return true;
}

void GlDevice::SetPresentTarget(std::function<void(const QImage&)> Target) {
    FPresentTarget = std::move(Target);
}

void GlDevice::SetPresentWindow(std::function<QWindow*()> Window, std::function<void()> Shown,
                                std::function<void()> Failed) {
    FPresentWindow = std::move(Window);
    FWindowShown = std::move(Shown);
    FWindowFailed = std::move(Failed);
}

} // namespace tavrela
