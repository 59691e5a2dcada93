#pragma once

class PLYSectionView;

// The interaction handler of a section view: it works out drop zones and applies drops. The
// rendering side only creates, keeps and destroys it; its behaviour belongs to the editor,
// which registers the concrete kind with PLYInteractionHandlerFactory.
class PLYLayoutSectionInteractionHandler {
public:
    explicit PLYLayoutSectionInteractionHandler(PLYSectionView* sectionView) : m_sectionView(sectionView) {}
    virtual ~PLYLayoutSectionInteractionHandler() = default;

    PLYSectionView* sectionView() const { return m_sectionView; }

private:
    PLYSectionView* m_sectionView;
};
