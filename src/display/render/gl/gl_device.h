#pragma once

// A small drawing device on OpenGL with the vocabulary the display's renderer is written
// in: a device per pane with present parameters, vertex buffers that are locked, filled and
// unlocked, numbered render states and blend factors, world/view/projection matrices for
// row vectors with a 0 ... 1 depth range, draw calls by primitive type, scenes, presented
// frames, text fonts and a stretched background picture.
//
// Every device renders into its own framebuffer of the size it was created with; presenting
// reads the finished frame back into an image that the panel widget paints. That lets a
// device exist before its panel is first shown, as the host expects.

#include "display/model/render_resource.h"
#include "display/model/types.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QOpenGLContext;
class QOffscreenSurface;
class QOpenGLExtraFunctions;
class QOpenGLFramebufferObject;
class QOpenGLShaderProgram;
class QOpenGLVertexArrayObject;
class QWindow;

namespace tavrela {

/// Numbered render states (the values are the classic 3D API's state numbers).
enum class GlRenderState : std::uint32_t {
    AlphaTestEnable = 15,
    SrcBlend = 19,
    DestBlend = 20,
    CullMode = 22,
    DitherEnable = 26,
    AlphaBlendEnable = 27,
    Lighting = 137,
    MultisampleAntialias = 161,
    BlendOp = 171,
    AntialiasedLineEnable = 176,
};

/// Blend factors.
enum GlBlend : std::uint32_t {
    GlBlendZero = 1,
    GlBlendOne = 2,
    GlBlendSrcColor = 3,
    GlBlendInvSrcColor = 4,
    GlBlendSrcAlpha = 5,
    GlBlendInvSrcAlpha = 6,
    GlBlendDestAlpha = 7,
    GlBlendInvDestAlpha = 8,
    GlBlendDestColor = 9,
    GlBlendInvDestColor = 10,
    GlBlendSrcAlphaSat = 11,
};

/// Blend operations.
enum GlBlendOp : std::uint32_t {
    GlBlendOpAdd = 1,
    GlBlendOpSubtract = 2,
    GlBlendOpRevSubtract = 3,
    GlBlendOpMin = 4,
    GlBlendOpMax = 5,
};

/// Cull modes.
enum GlCull : std::uint32_t { GlCullNone = 1, GlCullCW = 2, GlCullCCW = 3 };

/// Primitive types of DrawPrimitive.
enum class GlPrimitiveType : int {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

/// Which matrix SetTransform sets.
enum class GlTransformState { World, View, Projection };

/// Sampler states of the picture sampler.
enum class GlSamplerState : std::uint32_t { MagFilter = 5, MinFilter = 6, MipFilter = 7 };
enum GlTextureFilter : std::uint32_t {
    GlTexfNone = 0,
    GlTexfPoint = 1,
    GlTexfLinear = 2,
    GlTexfAnisotropic = 3,
};

/// The presentation parameters that shape the picture.
struct GlPresentParameters {
    int MultiSampleType = 0; ///< 0 or 4 samples
    bool EnableAutoDepthStencil = false;
    int PresentationInterval = 0; ///< 0: synchronised with the display refresh
    QSize BackBufferSize;         ///< logical pixels
    qreal DevicePixelRatio = 1.0; ///< device pixels per logical pixel
};

/// The device capabilities the display reads.
struct GlDeviceCaps {
    int MaxPrimitiveCount = 0;
    /// Column spans by lookup (DrawColumnSpans); off, curves are drawn as triangles.
    bool ColumnSpans = true;
    /// Channel maps (DrawChannelMap); off, blended passes are drawn one by one.
    bool ChannelMaps = true;
};

/// What a sequence of draws does to each value of each colour channel: entry 3 v + c is the
/// value that channel c (red, green, blue) holds afterwards where it held v before.
using GlChannelTable = std::array<std::uint8_t, 768>;

class GlContext;

/// The devices' shader programs: one per kind of draw.
enum class GlProgram { Colour = 0, Text = 1, Picture = 2, Spans = 3 };

/// A vertex buffer: a block of bytes uploaded to the graphics memory when unlocked.
class GlVertexBuffer : public TRenderResource {
public:
    ~GlVertexBuffer() override;
    /// Write access to Bytes bytes from Offset (0 = to the end); nullptr when out of range,
    /// already locked or out of memory. What was there before is not readable. Where the
    /// context can map buffers this is the buffer's own storage (written once, no copy);
    /// any thread may write it until Unlock.
    void* Lock(std::size_t Offset, std::size_t Bytes);
    /// Uploads what was written; false when not locked.
    bool Unlock();
    std::size_t Size() const { return FSize; }
    /// Whole vertices held (16 bytes each).
    int VertexCount() const { return static_cast<int>(FSize / 16); }

private:
    friend class GlDevice;
    GlVertexBuffer(std::shared_ptr<GlContext> Context, std::size_t Bytes);
    void* Map(std::size_t Offset, std::size_t Bytes);
    std::shared_ptr<GlContext> FContext;
    std::size_t FSize = 0;
    std::vector<unsigned char> FStaging; // only while locked without a mapping
    std::size_t FLockOffset = 0;
    unsigned FBuffer = 0;
    bool FLocked = false;
    bool FMapped = false;
};

/// An off-screen picture surface (a texture) that can be stretched onto the back buffer.
class GlSurface : public TRenderResource {
public:
    ~GlSurface() override;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    friend class GlDevice;
    GlSurface(std::shared_ptr<GlContext> Context, int W, int H);
    std::shared_ptr<GlContext> FContext;
    unsigned FTexture = 0;
    int FWidth = 0;
    int FHeight = 0;
};

/// A text font: face, cell height in logical pixels, weight and slant.
class GlFont : public TRenderResource {
public:
    ~GlFont() override;
    const QFont& Font() const { return FFont; }
    int Height() const { return FHeight; }

private:
    friend class GlDevice;
    GlFont(std::shared_ptr<GlContext> Context, const QFont& Font, int Height);
    struct Cached {
        unsigned Texture = 0;
        QSize Size;   // device pixels
        int Left = 0; // logical offset of the image's left edge from the text origin
        quint64 LastFrame = 0;
    };
    void Evict(quint64 OlderThan);
    std::shared_ptr<GlContext> FContext;
    QFont FFont;
    int FHeight = 0;
    QHash<QString, Cached> FCache;
};

/// A drawing device: an OpenGL framebuffer of a fixed size with the state the renderer sets.
class GlDevice : public TRenderResource {
public:
    ~GlDevice() override;

    /// Makes a device on Context; nullptr when the framebuffer (with the requested
    /// multisampling) or the shaders cannot be had. Why tells which.
    static std::shared_ptr<GlDevice> Create(std::shared_ptr<GlContext> Context,
                                            const GlPresentParameters& Parameters,
                                            QString* Why = nullptr);

    GlDeviceCaps GetDeviceCaps() const;
    /// Overrides the reported capabilities (tests of the vertex budget).
    static void SetCapsOverride(const GlDeviceCaps* Caps);

    bool SetRenderState(GlRenderState State, std::uint32_t Value);
    std::uint32_t GetRenderState(GlRenderState State) const;
    bool SetSamplerState(int Sampler, GlSamplerState State, std::uint32_t Value);
    bool SetTransform(GlTransformState State, const TMatrix4& Matrix);
    const TMatrix4& GetTransform(GlTransformState State) const;
    bool SetFVF(std::uint32_t Format);
    /// Stream 0, offset 0, stride 16.
    bool SetStreamSource(std::shared_ptr<GlVertexBuffer> Buffer);
    /// Draws PrimitiveCount primitives from StartVertex of the stream; false when outside a
    /// scene, without a stream, or beyond the buffer.
    bool DrawPrimitive(GlPrimitiveType Type, int StartVertex, int PrimitiveCount);
    /// Several runs of primitives of a list type (points, lines, triangles) in one call.
    struct Run {
        int StartVertex = 0;
        int PrimitiveCount = 0;
    };
    bool DrawPrimitiveRuns(GlPrimitiveType Type, const std::vector<Run>& Runs);
    /// Whether DrawColumnSpans can be used (it needs float textures: OpenGL 3.0).
    bool CanDrawColumnSpans() const;
    /// Fills pixel columns FirstColumn, FirstColumn + 1, ... (world x c ... c + 1 under the
    /// current transforms, so world x must be window pixels across) each from world y
    /// LoHi[2i] to LoHi[2i + 1] (nothing where Lo > Hi), with the current blend states. Fade
    /// colours a fill from Base at y 0 to Top at the fill's end on the same side of 0, else
    /// every fill is Top. One quad and a lookup per pixel: a software rasteriser pays for the
    /// pixels, not for thousands of one-pixel-wide triangles.
    bool DrawColumnSpans(int FirstColumn, const std::vector<float>& LoHi, TD3DColor Top,
                         TD3DColor Base, bool Fade);
    /// Whether channel maps can be drawn (they read the pixel they replace: framebuffer fetch).
    bool CanMapChannels();
    /// Sends the following draws to a 256 x 1 probe whose pixel v holds the value v in every
    /// channel, until EndChannelProbe, which reads what they made of each value. Draws that
    /// change each channel on its own, with constant colours, turn into a table that
    /// DrawChannelMap applies in one pass, exactly as they would have drawn.
    bool BeginChannelProbe();
    std::optional<GlChannelTable> EndChannelProbe();
    /// Replaces every pixel covered by PrimitiveCount triangles of the stream (a triangle
    /// list from StartVertex, under the current transforms) channel by channel through
    /// Table, regardless of the blend states. Needs CanMapChannels.
    bool DrawChannelMap(const GlChannelTable& Table, int StartVertex, int PrimitiveCount);
    /// Window x (device pixels from the left edge, pixel centres at .5) of a point under the
    /// current world, view and projection.
    double WindowX(double X, double Y, double Z) const;
    /// Window x and y (device pixels from the top-left corner, as WindowX) of a world point
    /// under the view and projection alone.
    double WindowXOfWorld(double X, double Z) const;
    double WindowYOfWorld(double Y, double Z) const;
    /// The x offsets inside a pixel at which coverage is sampled (0.5 without multisampling).
    const std::vector<double>& SampleXOffsets() const { return FSampleXOffsets; }
    /// How far (pixels) the rasteriser may move a vertex when it snaps it to its sub-pixel
    /// grid, plus room for rounding.
    double SnapMargin() const { return FSnapMargin; }

    /// Fills the whole back buffer with Color (0xAARRGGBB; the back buffer keeps no alpha).
    bool Clear(TD3DColor Color);
    bool BeginScene();
    bool EndScene();
    bool InScene() const { return FInScene; }
    /// Finishes the frame and hands it to the present target.
    bool Present();

    std::shared_ptr<GlVertexBuffer> CreateVertexBuffer(std::size_t Bytes);
    /// A picture surface; nullptr when the size is not possible.
    std::shared_ptr<GlSurface> CreateOffscreenPlainSurface(int Width, int Height);
    /// Loads a picture file into the whole surface, scaled to fit; false when unreadable.
    bool LoadSurfaceFromFile(GlSurface& Surface, const QString& FileName);
    /// Copies Source (a rectangle of Surface) onto Dest (logical pixels of the back
    /// buffer), filtered linearly, ignoring blend states.
    bool StretchRect(GlSurface& Surface, const TRect& Source, const QRect& Dest);

    /// A font whose text cells are Height logical pixels high; nullptr when Height < 1.
    std::shared_ptr<GlFont> CreateFont(int Height, int Weight, bool Italic, const QString& Face);
    /// Writes Text with its cell's top-left corner at (X, Y), logical pixels, unclipped.
    bool DrawText(GlFont& Font, const QString& Text, int X, int Y, TD3DColor Color);
    /// Width of Text in logical pixels (the measured right edge).
    int MeasureText(const GlFont& Font, const QString& Text) const;

    /// Receives every presented frame (device pixels, devicePixelRatio set) that is not
    /// shown on a window.
    void SetPresentTarget(std::function<void(const QImage&)> Target);
    /// Where frames are shown directly: Window returns the window to draw on (nullptr: read
    /// the frame back for the present target instead); Shown is told of every frame shown
    /// there, Failed once if the window cannot be drawn on (frames are read back from then).
    /// A window that is not exposed gets no frame; Present() again once it is.
    void SetPresentWindow(std::function<QWindow*()> Window, std::function<void()> Shown,
                          std::function<void()> Failed);
    /// Whether a frame has been presented (the back buffer holds a finished picture).
    bool HasFrame() const { return FHasFrame; }
    /// The last finished frame, read back (device pixels); null before the first.
    QImage ReadFrame();
    /// Frames presented since creation, shown on a window or read back (tests, benchmarks).
    quint64 PresentCount() const { return FFrame; }
    /// Frames read back from the graphics memory since creation (tests, benchmarks).
    quint64 ReadBackCount() const { return FReadBacks; }
    /// The last presented frame.
    const QImage& PresentedImage() const { return FPresented; }
    /// Back buffer size in logical and device pixels.
    QSize BackBufferSize() const { return FLogicalSize; }
    QSize BackBufferPixelSize() const { return FPixelSize; }
    qreal DevicePixelRatio() const { return FDpr; }
    /// Samples per pixel of the back buffer (0 when not multisampled).
    int Samples() const { return FSamples; }
    /// Number of draw calls since creation (tests, benchmarks).
    quint64 DrawCallCount() const { return FDrawCalls; }
    /// Primitives drawn since creation.
    quint64 PrimitivesDrawn() const { return FPrimitivesDrawn; }

private:
    explicit GlDevice(std::shared_ptr<GlContext> Context);
    bool Init(const GlPresentParameters& Parameters, QString* Why);
    bool MakeCurrent();
    void ApplyState();
    bool PrepareStreamDraw();
    /// Copies the back buffer onto Window and shows it; false when it cannot.
    bool PresentToWindow(QWindow& Window);
    void DrawQuad(const QRectF& DevicePixels, const QRectF& Tex, unsigned Texture, int Mode,
                  TD3DColor Color);

    std::shared_ptr<GlContext> FContext;
    std::unique_ptr<QOpenGLFramebufferObject> FTarget;  // the back buffer
    std::unique_ptr<QOpenGLFramebufferObject> FResolve; // single-sample copy for reading
    std::array<QOpenGLShaderProgram*, 4> FPrograms{};   // the context's, by GlProgram
    std::unique_ptr<QOpenGLVertexArrayObject> FVao;
    unsigned FQuadBuffer = 0;
    unsigned FIndexBuffer = 0;
    unsigned FSpanTexture = 0;
    unsigned FTableTexture = 0;
    GlChannelTable FTable{};
    bool FTableLoaded = false;
    std::unique_ptr<QOpenGLFramebufferObject> FProbe; // the channel probe's target
    bool FProbing = false;
    int FSpanTextureWidth = 0;
    std::vector<float> FSpanTexels;
    std::vector<float> FSpanQuads; // x, y, z of the lookup quads' corners
    std::vector<double> FSampleXOffsets{0.5};
    double FSnapMargin = 1.0 / 16.0;
    QSize FLogicalSize;
    QSize FPixelSize;
    qreal FDpr = 1.0;
    int FSamples = 0;
    bool FInScene = false;
    bool FStateDirty = true;
    QHash<std::uint32_t, std::uint32_t> FStates;
    std::uint32_t FMinFilter = GlTexfPoint;
    std::uint32_t FMagFilter = GlTexfPoint;
    std::uint32_t FFvf = 0;
    TMatrix4 FWorld = TMatrix4::Identity();
    TMatrix4 FView = TMatrix4::Identity();
    TMatrix4 FProjection = TMatrix4::Identity();
    std::shared_ptr<GlVertexBuffer> FStream;
    std::function<void(const QImage&)> FPresentTarget;
    std::function<QWindow*()> FPresentWindow;
    std::function<void()> FWindowShown;
    std::function<void()> FWindowFailed;
    bool FWindowBroken = false;
    bool FHasFrame = false;
    quint64 FReadBacks = 0;
    QImage FPresented;
    quint64 FFrame = 0;
    quint64 FDrawCalls = 0;
    quint64 FPrimitivesDrawn = 0;
    std::vector<GlFont*> FFontsUsed;
};

/// The shared graphics context all devices of a display draw with (the display's
/// "Direct3D" object).
class GlContext {
public:
    ~GlContext();
    /// The process's context on an off-screen surface; nullptr when no OpenGL is available.
    /// It is made on first use and kept until the application ends, also while no display
    /// holds it: a software rasteriser compiles the shaders for every new context (and every
    /// new program) on first draw, which would otherwise be paid again on each new device.
    static std::shared_ptr<GlContext> Create();
    bool MakeCurrent();
    QOpenGLContext* Context() const { return FContext.get(); }
    QOpenGLExtraFunctions* Functions() const;
    /// The devices' shader program of a kind, linked once per context; nullptr (with Why) when it
    /// cannot be compiled. The context must be current.
    QOpenGLShaderProgram* Program(GlProgram Kind, QString* Why);
    /// The channel map's program (framebuffer fetch); nullptr where the context has none.
    /// The context must be current.
    QOpenGLShaderProgram* MapProgram();
    /// Whether buffers can be written in place (OpenGL 3.0 or OpenGL ES 3.0).
    bool CanMapBuffers() const { return FCanMap; }
    /// Whether the processor rasterises (Mesa's llvmpipe and its kin): its frames are in the
    /// processor's memory already, and reading one back costs less than presenting it to a
    /// window through the window system.
    bool IsSoftware() const { return FSoftware; }

private:
    GlContext() = default;
    std::unique_ptr<QOffscreenSurface> FSurface;
    std::unique_ptr<QOpenGLContext> FContext;
    std::array<std::unique_ptr<QOpenGLShaderProgram>, 4> FPrograms;
    std::unique_ptr<QOpenGLShaderProgram> FMapProgram;
    bool FMapProgramTried = false;
    bool FCanMap = false;
    bool FSoftware = false;
};

} // namespace tavrela
