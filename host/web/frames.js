// The screen's frames, put together and drawn by a worker of the page as
// they arrive, on the canvas the page handed it. After a click a browser
// holds the page's own tasks (network events among them) until it has
// painted; a worker's go on, and its canvas reaches the screen without the
// page. (Where a browser cannot hand a canvas over, the worker sends the
// page what changed, for the page to draw.)
//
// The frames come in a stream of their own, one message after another, as
// host/LiveFrames.h describes them: the rectangle that changed, in pieces of
// rows that are new (RGBA, or PNGs for a page elsewhere) or as they were in
// one of the last screens, which the worker keeps. Messages to the page:
//   { size: [width, height] }            the screen's size in pixels
//   { frame, times }                     a frame shown, and when (the page's
//                                        clock, ms): received (whole), transit
//                                        (from the server), started, decoded,
//                                        drawn, painted
//   { frame, draw: [x, y, w, h], pixels } without a canvas: a frame to draw
//   { frame, skipped: true }             a frame that could not be shown
//   { read, pixels }                     the answer to { read: [x, y, w, h] }
"use strict";

const kHeaderSize = 40;
const kPieceHeaderSize = 8;
const kKeyFrame = 1;
const kPixels = 0, kEarlier = 1, kPNG = 2;
// The screens a frame may refer to (kEarlierScreens in host/LiveFrames.h).
const kEarlierScreens = 2;

let context = null;
// Added to this worker's clock, the page's.
let toPageClock = 0;
let width = 0, height = 0;
// The last frames' screens (RGBA), the one shown first; a buffer to reuse.
let screens = [];
let spare = null;
// Whether the screens are the server's: from a key frame on, until the
// stream ends or a frame cannot be put together.
let synced = false;
// The stream being read.
let reader = null;
// Frames put together one after another: those with PNGs take a while.
let waiting = Promise.resolve();
let busy = 0;

const now = () => performance.now() + toPageClock;

onmessage = (event) => {
    const message = event.data;
    if (message.start) {
        toPageClock = performance.timeOrigin - message.start.timeOrigin;
        context = message.start.canvas ? message.start.canvas.getContext("2d") : null;
        connect(message.start.frames);
    } else if (message.read) {
        const [x, y, w, h] = message.read;
        const pixels = context ? context.getImageData(x, y, w, h).data : rectangle(screens[0], x, y, w, h);
        postMessage({ read : message.read, pixels }, [ pixels.buffer ]);
    }
};

async function connect(path)
{
    try {
        const response = await fetch(path, { cache : "no-store" });
        if (!response.ok)
            throw new Error(response.statusText);
        reader = response.body.getReader();
        await readMessages(reader);
    } catch (error) {
        // Ended or refused: the page reconnects its events the same way.
    }
    reader = null;
    synced = false;
    setTimeout(() => connect(path), 1000);
}

// Messages as they come: each whole in a buffer of its own (reused while no
// frame that is being put together still reads it).
async function readMessages(reader)
{
    let buffer = new Uint8Array(1 << 16);
    let held = false;
    let size = 0, have = 0;
    for (;;) {
        const { value, done } = await reader.read();
        if (done)
            return;
        for (let at = 0; at < value.length;) {
            if (have < 8) {
                const take = Math.min(8 - have, value.length - at);
                buffer.set(value.subarray(at, at + take), have);
                have += take;
                at += take;
                if (have < 8)
                    continue;
                size = new DataView(buffer.buffer).getUint32(0, true);
                if (size < 8)
                    throw new Error("a message shorter than its header");
                if (size > buffer.length || held) {
                    const larger = new Uint8Array(Math.max(size, held ? 0 : buffer.length));
                    larger.set(buffer.subarray(0, 8));
                    buffer = larger;
                    held = false;
                }
            }
            const take = Math.min(size - have, value.length - at);
            buffer.set(value.subarray(at, at + take), have);
            have += take;
            at += take;
            if (have < size)
                continue;
            held = received(buffer.subarray(0, size)) || held;
            have = 0;
        }
    }
}

// A whole message; true when a frame still reads it.
function received(message)
{
    const view = new DataView(message.buffer, message.byteOffset, message.length);
    if (view.getUint32(4, true) !== 1 || message.length < kHeaderSize)
        return false;
    const frame = {
        number : view.getUint32(8, true),
        key : (view.getUint32(12, true) & kKeyFrame) !== 0,
        screen : [ view.getUint16(24, true), view.getUint16(26, true) ],
        rect : [ view.getUint16(28, true), view.getUint16(30, true), view.getUint16(32, true), view.getUint16(34, true) ],
        pieces : [],
        times : { received : now() },
    };
    frame.times.transit = performance.timeOrigin + frame.times.received - toPageClock - view.getFloat64(16, true);
    let at = kHeaderSize, png = false;
    for (let i = view.getUint16(36, true); i > 0; --i) {
        if (at + kPieceHeaderSize > message.length)
            return skip(frame);
        const piece = { rows : view.getUint16(at, true), kind : message[at + 2], back : message[at + 3] };
        const length = view.getUint32(at + 4, true);
        at += kPieceHeaderSize;
        if (at + length > message.length)
            return skip(frame);
        piece.bytes = message.subarray(at, at + length);
        png ||= piece.kind === kPNG;
        frame.pieces.push(piece);
        at += length;
    }
    if (!png && !busy) {
        show(frame, putTogether(frame, null));
        return false;
    }
    // One after another: the pieces still read the message.
    busy += 1;
    waiting = waiting.then(() => putTogetherLater(frame, png));
    return true;
}

async function putTogetherLater(frame, png)
{
    try {
        const images = png ? await decodePNGs(frame) : null;
        show(frame, putTogether(frame, images));
    } catch (error) {
        skip(frame);
    }
    busy -= 1;
}

function skip(frame)
{
    // Screens that were the server's and are no longer: only a key frame
    // makes them so again, and a new stream starts with one.
    if (synced && reader)
        reader.cancel().catch(() => {});
    synced = false;
    postMessage({ frame : frame.number, skipped : true });
    return false;
}

async function decodePNGs(frame)
{
    frame.times.started = now();
    const images = await Promise.all(frame.pieces.map((piece) => {
        if (piece.kind !== kPNG)
            return null;
        const blob = new Blob([ piece.bytes ], { type : "image/png" });
        return createImageBitmap(blob, { premultiplyAlpha : "none", colorSpaceConversion : "none" }).then(pixelsOf);
    }));
    frame.times.decoded = now();
    return images;
}

// Where PNGs are read, one canvas for them all, as large as the largest so
// far.
let reading = null;

// An image's RGBA.
function pixelsOf(image)
{
    reading ??= new OffscreenCanvas(1, 1).getContext("2d", { willReadFrequently : true });
    const canvas = reading.canvas;
    if (canvas.width < image.width || canvas.height < image.height) {
        // Larger, and cleared by that.
        canvas.width = Math.max(canvas.width, image.width);
        canvas.height = Math.max(canvas.height, image.height);
    } else {
        reading.clearRect(0, 0, image.width, image.height);
    }
    reading.drawImage(image, 0, 0);
    const pixels = reading.getImageData(0, 0, image.width, image.height).data;
    image.close();
    return pixels;
}

// The frame's screen, made of the last one and its pieces; null when it
// cannot be (it refers to screens this worker does not have).
function putTogether(frame, images)
{
    if (frame.key) {
        synced = true;
        if (frame.screen[0] !== width || frame.screen[1] !== height) {
            [width, height] = frame.screen;
            screens = [];
            spare = null;
            if (context) {
                context.canvas.width = width;
                context.canvas.height = height;
            }
            postMessage({ size : frame.screen });
        }
    }
    if (!synced || frame.screen[0] !== width || frame.screen[1] !== height)
        return null;
    frame.times.started ??= now();
    const [x, y, w, h] = frame.rect;
    const screen = spare && spare.length === width * height * 4 ? spare : new Uint8ClampedArray(width * height * 4);
    if (screens.length && (w !== width || h !== height))
        screen.set(screens[0]);
    const rowBytes = w * 4, stride = width * 4;
    let row = y;
    for (const [i, piece] of frame.pieces.entries()) {
        const source = piece.kind === kPixels ? piece.bytes : piece.kind === kPNG ? images[i]
                                                                                  : screens[piece.back];
        if (!source || (piece.kind !== kEarlier && source.length !== piece.rows * rowBytes) || row + piece.rows > y + h)
            return null;
        if (piece.kind === kEarlier && w === width) {
            screen.set(source.subarray(row * stride, (row + piece.rows) * stride), row * stride);
        } else if (piece.kind !== kEarlier && w === width) {
            screen.set(source, row * stride);
        } else {
            for (let r = row; r < row + piece.rows; ++r) {
                const from = piece.kind === kEarlier ? (r * width + x) * 4 : (r - row) * rowBytes;
                screen.set(source.subarray(from, from + rowBytes), (r * width + x) * 4);
            }
        }
        row += piece.rows;
    }
    if (row !== y + h)
        return null;
    spare = screens.length >= kEarlierScreens ? screens.pop() : null;
    screens.unshift(screen);
    frame.times.decoded ??= now();
    return screen;
}

function rectangle(screen, x, y, w, h)
{
    const pixels = new Uint8ClampedArray(w * h * 4);
    if (!screen)
        return pixels;
    for (let r = 0; r < h; ++r)
        pixels.set(screen.subarray(((y + r) * width + x) * 4, ((y + r) * width + x + w) * 4), r * w * 4);
    return pixels;
}

function show(frame, screen)
{
    if (!screen)
        return skip(frame);
    const [x, y, w, h] = frame.rect;
    if (!context) {
        const pixels = rectangle(screen, x, y, w, h);
        postMessage({ frame : frame.number, draw : frame.rect, pixels, times : frame.times }, [ pixels.buffer ]);
        return;
    }
    context.putImageData(new ImageData(screen, width, height), 0, 0, x, y, w, h);
    frame.times.drawn = now();
    // Once the canvas has gone to the screen: a task queued from an
    // animation frame callback runs after it.
    requestAnimationFrame(() => setTimeout(() => {
        frame.times.painted = now();
        postMessage({ frame : frame.number, times : frame.times });
    }, 0));
}
