"""Drops a file on a window through the X drag-and-drop protocol (XDND), as a file manager does.

xdotool moves the pointer but cannot drag data between programs, so this plays the source's
side of the protocol with python3-xlib: it owns the XdndSelection, announces a text/uri-list
drag to the target window, moves over it, drops, answers the target's request for the data
and waits for the target to say it has finished.
"""

import time

from Xlib import X, Xatom, display, protocol

XDND_VERSION = 5


class DropFailed(AssertionError):
    pass


def _client_message(disp, window, type_name, data):
    event = protocol.event.ClientMessage(
        window=window, client_type=disp.intern_atom(type_name), data=(32, data))
    window.send_event(event, event_mask=0)
    disp.flush()


def _xdnd_target(disp, window):
    """The window under the app's top level that announces XdndAware (the top level itself
    for Qt)."""
    aware = disp.intern_atom("XdndAware")
    stack = [window]
    while stack:
        current = stack.pop()
        if current.get_full_property(aware, X.AnyPropertyType):
            return current
        stack.extend(current.query_tree().children)
    raise DropFailed("no window of the app accepts drops (no XdndAware)")


def drop_uri(display_name, target_id, x, y, uris, timeout=10.0):
    """Drops uris (file:// addresses) at root position (x, y) on the window target_id."""
    disp = display.Display(display_name)
    try:
        root = disp.screen().root
        target = _xdnd_target(disp, disp.create_resource_object("window", target_id))
        source = root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent,
                                    event_mask=X.PropertyChangeMask)
        source.change_property(disp.intern_atom("XdndAware"), Xatom.ATOM, 32, [XDND_VERSION])
        selection = disp.intern_atom("XdndSelection")
        uri_list = disp.intern_atom("text/uri-list")
        copy = disp.intern_atom("XdndActionCopy")
        source.set_selection_owner(selection, X.CurrentTime)
        disp.flush()
        payload = "".join(uri + "\r\n" for uri in uris).encode()

        stamp = X.CurrentTime
        _client_message(disp, target, "XdndEnter",
                        [source.id, XDND_VERSION << 24, uri_list, 0, 0])
        _client_message(disp, target, "XdndPosition",
                        [source.id, 0, (x << 16) | y, stamp, copy])
        accepted = dropped = finished = False
        deadline = time.monotonic() + timeout
        while not finished:
            if time.monotonic() > deadline:
                raise DropFailed(f"the drop did not finish (accepted: {accepted}, "
                                 f"dropped: {dropped})")
            if not disp.pending_events():
                time.sleep(0.02)
                continue
            event = disp.next_event()
            if event.type == X.ClientMessage:
                name = disp.get_atom_name(event.client_type)
                values = event.data[1]
                if name == "XdndStatus" and not dropped:
                    accepted = bool(values[1] & 1)
                    if not accepted:
                        raise DropFailed("the window refused the drag")
                    _client_message(disp, target, "XdndDrop", [source.id, 0, stamp, 0, 0])
                    dropped = True
                elif name == "XdndFinished":
                    finished = True
            elif event.type == X.SelectionRequest:
                # The target asks for the data: write it on its window and tell it so.
                requestor = event.requestor
                prop = event.property or event.target
                if event.target == uri_list:
                    requestor.change_property(prop, uri_list, 8, payload)
                else:
                    prop = X.NONE
                reply = protocol.event.SelectionNotify(
                    time=event.time, requestor=requestor, selection=event.selection,
                    target=event.target, property=prop)
                requestor.send_event(reply, event_mask=0)
                disp.flush()
        source.destroy()
        disp.flush()
    finally:
        disp.close()
