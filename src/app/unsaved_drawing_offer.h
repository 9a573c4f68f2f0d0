#pragma once

class PlatformViewController;

// At start-up, the drawing an editor was working on when the app last ended without Save or
// Exit (a crash, a kill, a power cut, the window closed): over the home screen, "Restore your
// unsaved drawing?" with "Restore", which opens the editor as it was, and "Discard", which
// deletes the draft. Several such drafts are offered newest first, the next after a Discard;
// after a Restore the rest wait for the next start. A draft that cannot be read is kept aside
// in the store, with a console line, and not offered.
class UnsavedDrawingOffer {
public:
    UnsavedDrawingOffer() = delete;

    // Opens the store only when its file holds a draft: otherwise the store is left to its
    // first use, and a first start creates nothing.
    static void offer(PlatformViewController* home);
};
