#pragma once

#include "render/ImpostorAtlasLayout.h"
#include "render/RenderSettings.h"
#include "render/gl/GLTexture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Skin;

// The pictures an animal type's impostors show: its skin drawn by the renderer the view uses
// (hardware or software skinning, with the lighting and corrections chosen then) from every
// direction, height and animation phase of an ImpostorAtlasLayout, in parallel projection,
// off screen at twice the cell resolution, resolved into premultiplied RGBA (transparent
// black around the animal, so filtering leaves no dark fringe), mipmapped on the processor
// and uploaded as one texture. Each cell also gets its quad, tight to its picture.
//
// Made once, with the context current; the GL state it touches (framebuffer, viewport,
// matrices, lights, clear colour) is as it was when construction ends. Owns its texture, so it
// must be destroyed with the context current.
class ImpostorAtlas {
public:
    // Throws OpenGLException when framebuffer objects are missing, and what the renderer
    // throws (a program the card rejects, an unreadable texture). detailLevel is the level the
    // skin has in its herd (the vertex program is generated for it).
    ImpostorAtlas(std::shared_ptr<Skin> skin, int detailLevel, const std::string& directory,
                  const RenderSettings& settings, bool hardwareSkinning, double thresholdPixels);
    ~ImpostorAtlas();
    ImpostorAtlas(const ImpostorAtlas&) = delete;
    ImpostorAtlas& operator=(const ImpostorAtlas&) = delete;

    const ImpostorAtlasLayout& layout() const { return m_layout; }
    const std::vector<ImpostorCellQuad>& cells() const { return m_cells; }
    const GLTexture& texture() const { return *m_texture; }
    double thresholdPixels() const { return m_threshold; }
    // Wall-clock seconds the atlas took to make.
    double buildSeconds() const { return m_buildSeconds; }
    // The base level's texels (RGBA premultiplied, rows from the bottom), kept only when asked
    // for before construction by keepTexels; empty otherwise.
    const std::vector<std::uint8_t>& texels() const { return m_texels; }

    // Atlases made while set keep their base level's texels (for tests and tools).
    static void keepTexels(bool keep);

private:
    ImpostorAtlasLayout m_layout;
    std::vector<ImpostorCellQuad> m_cells;
    std::unique_ptr<GLTexture> m_texture;
    double m_threshold = 0.0;
    double m_buildSeconds = 0.0;
    std::vector<std::uint8_t> m_texels;
};
