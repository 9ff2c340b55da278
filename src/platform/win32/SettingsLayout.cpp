#include "platform/win32/SettingsLayout.h"

#include <algorithm>
#include <initializer_list>

namespace tovela::win32 {
namespace {

class Units {
public:
    explicit Units(const LayoutMetrics& m) : m_(m) {}
    int X(int dlu) const { return MulDiv(dlu, m_.baseX, 4); }
    int Y(int dlu) const { return MulDiv(dlu, m_.baseY, 8); }
    int Text(Slot slot) const { return m_.textWidth[static_cast<std::size_t>(slot)]; }
    int Widest(std::initializer_list<Slot> slots) const {
        int widest = 0;
        for (Slot slot : slots) widest = std::max(widest, Text(slot));
        return widest;
    }
    // A check box or option: its box, the caption and a little air so nothing is cut.
    int Check(Slot slot) const { return m_.checkWidth + Text(slot) + X(3); }

private:
    const LayoutMetrics& m_;
};

RECT Box(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
}

}  // namespace

SettingsLayout LayoutSettingsWindow(const LayoutMetrics& metrics) {
    const Units u(metrics);
    SettingsLayout layout;
    auto at = [&](Slot slot) -> RECT& { return layout.rects[static_cast<std::size_t>(slot)]; };

    const int marginX = u.X(7), marginY = u.Y(7);
    const int gap = u.X(4);
    const int editHeight = u.Y(14), rowStep = u.Y(18);
    const int labelHeight = u.Y(10);
    const int checkHeight = u.Y(10), checkStep = u.Y(12);
    const int framePad = u.X(7);

    // Horizontal sizes first: the window is as wide as its widest row needs.
    const int labelWidth =
        std::max(u.X(40), u.Widest({Slot::lblServer, Slot::lblUsername, Slot::lblPassword,
                                    Slot::lblTitleMailPollInterval}));
    const int boxX = marginX + labelWidth + gap;
    const int accountChecks = std::max(
        {u.Check(Slot::chkGuardaPassword), u.Check(Slot::chkSSL), u.Check(Slot::chkWebmailLogin)});
    const int noticeChecks = std::max(u.Check(Slot::chkVentana), u.Check(Slot::chkSonido));
    // The second column of check boxes lines up with the boxes when it can.
    const int noticeX = std::max(boxX, marginX + accountChecks + u.X(10));
    const int optionGap = u.X(12);
    const int optionsRow =
        framePad + u.Check(Slot::optBlackList) + optionGap + u.Check(Slot::optWhiteList) + framePad;
    const int filterRow = framePad + u.Text(Slot::lblTitleFilters) + gap + u.X(80) + framePad;
    const int frameCaption = u.Text(Slot::fraFilters) + u.X(16);
    const int buttonWidth =
        std::max(u.X(50), u.Widest({Slot::cmdAceptar, Slot::cmdCerrar}) + u.X(12));

    const int contentWidth = std::max({boxX + u.X(130) - marginX, noticeX + noticeChecks - marginX,
                                       optionsRow, filterRow, frameCaption, 2 * buttonWidth + gap});
    const int right = marginX + contentWidth;

    // Then top to bottom.
    int y = marginY;
    const std::pair<Slot, Slot> rows[] = {{Slot::lblServer, Slot::txtTovelaHost},
                                          {Slot::lblUsername, Slot::txtUsuario},
                                          {Slot::lblPassword, Slot::txtPassword}};
    for (const auto& [label, box] : rows) {
        at(label) = Box(marginX, y + (editHeight - labelHeight) / 2, labelWidth, labelHeight);
        at(box) = Box(boxX, y, right - boxX, editHeight);
        y += rowStep;
    }
    at(Slot::lblTitleMailPollInterval) =
        Box(marginX, y + (editHeight - labelHeight) / 2, labelWidth, labelHeight);
    at(Slot::lblMailPollInterval) =
        Box(boxX, y + (editHeight - labelHeight) / 2, right - boxX, labelHeight);
    y += rowStep;

    const Slot account[] = {Slot::chkGuardaPassword, Slot::chkSSL, Slot::chkWebmailLogin};
    for (int i = 0; i < 3; ++i) {
        at(account[i]) = Box(marginX, y + i * checkStep, accountChecks, checkHeight);
    }
    at(Slot::chkVentana) = Box(noticeX, y, right - noticeX, checkHeight);
    at(Slot::chkSonido) = Box(noticeX, y + checkStep, right - noticeX, checkHeight);
    y += 2 * checkStep + checkHeight + u.Y(6);

    const int frameTop = y;
    const int innerX = marginX + framePad;
    int inner = frameTop + u.Y(12);
    at(Slot::optBlackList) = Box(innerX, inner, u.Check(Slot::optBlackList), checkHeight);
    const int whiteX = innerX + u.Check(Slot::optBlackList) + optionGap;
    at(Slot::optWhiteList) = Box(whiteX, inner, u.Check(Slot::optWhiteList), checkHeight);
    inner += checkHeight + u.Y(5);
    const int filterLabel = u.Text(Slot::lblTitleFilters);
    at(Slot::lblTitleFilters) =
        Box(innerX, inner + (editHeight - labelHeight) / 2, filterLabel, labelHeight);
    const int filterX = innerX + filterLabel + gap;
    at(Slot::txtFilters) = Box(filterX, inner, right - framePad - filterX, editHeight);
    const int frameBottom = inner + editHeight + u.Y(7);
    at(Slot::fraFilters) = Box(marginX, frameTop, contentWidth, frameBottom - frameTop);

    const int buttonsTop = frameBottom + u.Y(7);
    const int buttonHeight = u.Y(14);
    at(Slot::cmdCerrar) = Box(right - buttonWidth, buttonsTop, buttonWidth, buttonHeight);
    at(Slot::cmdAceptar) =
        Box(right - 2 * buttonWidth - gap, buttonsTop, buttonWidth, buttonHeight);

    layout.client = {right + marginX, buttonsTop + buttonHeight + marginY};
    return layout;
}

}  // namespace tovela::win32
