#pragma once

#include "Printer.h"
#include "TextItem.h"

#include <QtGlobal>

// The page setup of a printout: paper, orientation, margins in whole centimetres, and the page
// header and footer. Values are stored as given; nothing is range-checked here.
class PageSetup
{
public:
    // Paper size and orientation start as the printer's; with no printer, A4 portrait.
    explicit PageSetup(const Printer *printer = nullptr);

    // The page setup's own items, changed in place by callers.
    TextItem &Footer() { return m_footer; }
    const TextItem &Footer() const { return m_footer; }
    TextItem &Header() { return m_header; }
    const TextItem &Header() const { return m_header; }

    qint16 Orientation() const { return m_orientation; }
    qint16 PaperSize() const { return m_paperSize; }
    qint16 BottomMargin() const { return m_bottomMargin; }
    void SetBottomMargin(qint16 cm) { m_bottomMargin = cm; }
    qint16 TopMargin() const { return m_topMargin; }
    void SetTopMargin(qint16 cm) { m_topMargin = cm; }
    qint16 RightMargin() const { return m_rightMargin; }
    void SetRightMargin(qint16 cm) { m_rightMargin = cm; }
    qint16 LeftMargin() const { return m_leftMargin; }
    void SetLeftMargin(qint16 cm) { m_leftMargin = cm; }

private:
    qint16 m_leftMargin = 15;
    qint16 m_rightMargin = 15;
    qint16 m_topMargin = 15;
    qint16 m_bottomMargin = 15;
    qint16 m_paperSize = PaperCode::A4;
    qint16 m_orientation = OrientationCode::Portrait;
    TextItem m_header;
    TextItem m_footer;
};
