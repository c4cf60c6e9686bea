// The Camera's live view: the screen as the device pushes it, the pointer
// turned into scenario commands, and the panels beside the screen.
"use strict";

const canvas = document.getElementById("screen");
const $ = (id) => document.getElementById(id);

// What the tests read: the frames drawn, the state, the trace, and the
// times of the last taps.
window.live = {
    frames : 0,
    state : null,
    trace : [],
    recording : [],
    taps : []
};

let state = null;

// The status line below the buttons, shown with the panels.
let message = null;
function showMessage(text, isError)
{
    message = { text, isError : !!isError };
    updatePanelsSoon();
}

// Requests sent and not answered yet, and the last frame an answer said
// shows what its request did.
let requestsGoing = 0;
let frameAwaited = 0;

async function post(path, body, timing)
{
    requestsGoing += 1;
    let answer;
    try {
        answer = await request(path, body, timing);
    } finally {
        requestsGoing -= 1;
    }
    if (answer.frame)
        frameAwaited = Math.max(frameAwaited, answer.frame);
    checkScreenSettled();
    if (answer.error) {
        showMessage(answer.error, true);
        return null;
    }
    return answer;
}

// The answer to a request, or { error }.
async function request(path, body, timing)
{
    let response;
    try {
        response = await fetch(path, {
            method : "POST",
            headers : { "Content-Type" : "application/json" },
            body : JSON.stringify(body),
        });
    } catch (error) {
        return { error : "the Camera's live view does not answer (" + error.message + ")" };
    }
    if (timing) {
        timing.answered = performance.now();
        timing.server = {};
        for (const stage of (response.headers.get("Server-Timing") || "").split(",")) {
            const found = stage.match(/^\s*([\w-]+);dur=([\d.]+)/);
            if (found)
                timing.server[found[1]] = parseFloat(found[2]);
        }
    }
    let answer;
    try {
        answer = await response.json();
    } catch (error) {
        answer = {};
    }
    if (!response.ok)
        return { error : answer.error || response.statusText };
    return answer;
}

async function send(command, tap)
{
    if (tap)
        tap.sent = performance.now();
    const answer = await post("api/command", { command }, tap);
    if (tap && answer && answer.frame)
        tapShownBy(tap, answer.frame);
    if (answer) {
        const recorded = answer.recorded && answer.recorded.length ? "  → recorded: " + answer.recorded.join(", ") : "";
        showMessage(command + recorded, false);
    }
    return answer;
}

async function sendAll(commands)
{
    for (const command of commands) {
        if (!(await send(command)))
            return;
    }
}

// Click to screen: the times of each tap that changed the screen, from the
// press to the frame that shows what it did on the screen (performance.now(),
// milliseconds), kept for the tests and the last one shown in the header.
const frameTimes = new Map();
const pendingTaps = new Map();

function tapShownBy(tap, number)
{
    tap.frame = number;
    const times = frameTimes.get(number);
    if (times && times.painted)
        finishTap(tap, times);
    else
        pendingTaps.set(number, (pendingTaps.get(number) || []).concat([ tap ]));
}

function finishTap(tap, times)
{
    Object.assign(tap, times);
    tap.total = tap.painted - tap.pressed;
    window.live.taps.push(tap);
    if (window.live.taps.length > 100)
        window.live.taps.shift();
    setText($("latency"), "tap → screen " + Math.round(tap.total) + " ms");
    $("latency").title = "pressed → sent " + (tap.sent - tap.pressed).toFixed(1) + " ms, → answered " + (tap.answered - tap.sent).toFixed(1)
        + " ms (device " + Object.entries(tap.server).map(([ name, ms ]) => name + " " + ms.toFixed(1)).join(", ") + "), frame arrived "
        + (tap.received - tap.pressed).toFixed(1) + " ms, drawn " + (tap.drawn - tap.pressed).toFixed(1) + " ms after the press";
}

function noteFrameTimes(number, times)
{
    frameTimes.set(number, times);
    if (frameTimes.size > 64)
        frameTimes.delete(frameTimes.keys().next().value);
    for (const tap of pendingTaps.get(number) || [])
        finishTap(tap, times);
    pendingTaps.delete(number);
}

// Runs callback once the page's next rendering (style, layout, paint) is
// done: a task queued from an animation frame callback runs after it.
function afterNextPaint(callback)
{
    requestAnimationFrame(() => setTimeout(callback, 0));
}

// The screen is settled when no request is on its way and the frame that an
// answer said would show what it did is shown. Runs callback then, or after
// a tenth of a second at the most.
let lastFrameShown = 0;
let waitingForScreen = [];
function screenSettled()
{
    return !requestsGoing && lastFrameShown >= frameAwaited;
}

function afterScreenSettled(callback)
{
    if (screenSettled())
        return callback();
    let done = false;
    const once = () => {
        if (!done)
            callback();
        done = true;
    };
    waitingForScreen.push(once);
    setTimeout(once, 100);
}

function checkScreenSettled()
{
    if (!screenSettled())
        return;
    const waiting = waitingForScreen;
    waitingForScreen = [];
    for (const run of waiting)
        run();
}

// The screen: its frames come to a worker (frames.js), which draws them on
// the canvas handed to it, as they arrive; where a canvas cannot be handed
// over, the worker sends what changed and the page draws it. The page hears
// of each frame shown, and when it was. ?png in the page's address asks for
// new rows as PNGs (as a page on another machine gets them).
let screenSize = [ canvas.width, canvas.height ];
const framesWorker = new Worker("frames.js");
const ownContext = canvas.transferControlToOffscreen ? null : canvas.getContext("2d");
{
    const start = { timeOrigin : performance.timeOrigin, frames : new URLSearchParams(location.search).has("png") ? "frames?png" : "frames" };
    if (ownContext) {
        framesWorker.postMessage({ start });
    } else {
        start.canvas = canvas.transferControlToOffscreen();
        framesWorker.postMessage({ start }, [ start.canvas ]);
    }
}

const pixelReads = [];
framesWorker.addEventListener("message", (event) => {
    const message = event.data;
    if (message.size) {
        screenSize = message.size;
        if (ownContext)
            [canvas.width, canvas.height] = message.size;
    } else if (message.read) {
        pixelReads.shift()(message.pixels);
    } else if (message.draw) {
        const [x, y, w, h] = message.draw;
        ownContext.putImageData(new ImageData(message.pixels, w, h), x, y);
        message.times.drawn = performance.now();
        afterNextPaint(() => {
            message.times.painted = performance.now();
            frameShown(message.frame, message.times);
        });
    } else {
        frameShown(message.frame, message.times);
    }
});

function frameShown(number, times)
{
    lastFrameShown = number;
    if (times) {
        window.live.frames += 1;
        document.body.dataset.frames = window.live.frames;
        noteFrameTimes(number, times);
    }
    checkScreenSettled();
}

// The pixels of a rectangle of the screen as drawn (RGBA), for the tests.
window.live.readPixels = (x, y, w, h) => new Promise((resolve) => {
    pixelReads.push(resolve);
    framesWorker.postMessage({ read : [ x, y, w, h ] });
});

// Changes an element's text only when it differs: an element written anew
// is laid out and painted anew.
function setText(element, text)
{
    if (element.textContent !== text)
        element.textContent = text;
}

function yesNo(element, value)
{
    setText(element, value ? "yes" : "no");
    element.className = value ? "yes" : "no";
}

// The panels beside the screen (and the status line) follow the state and
// the trace once an animation frame, whatever number of events came in it,
// and once the screen is settled: the screen's picture is never kept
// waiting for them.
let shownState = null;
let traceLines = [];
let panelsDue = false;

function updatePanelsSoon()
{
    if (panelsDue)
        return;
    panelsDue = true;
    afterScreenSettled(() => requestAnimationFrame(updatePanels));
}

function updatePanels()
{
    panelsDue = false;
    // What is read from the layout is read before anything changes it.
    const trace = $("trace");
    const traceAtEnd = trace.scrollTop + trace.clientHeight >= trace.scrollHeight - 4;
    const recordingChanged = recordingChanges.length > 0;
    if (state !== shownState) {
        applyState(state, shownState);
        shownState = state;
    }
    if (recordingChanged)
        showRecordingChanges();
    if (traceLines.length) {
        appendTrace(traceLines);
        traceLines = [];
        if (traceAtEnd)
            trace.scrollTop = trace.scrollHeight;
    }
    if (recordingChanged)
        $("recording").scrollTop = $("recording").scrollHeight;
    if (message) {
        setText($("message"), message.text);
        $("message").classList.toggle("error", message.isError);
        message = null;
    }
}

function showState(next)
{
    state = next;
    window.live.state = next;
    updatePanelsSoon();
}

function addTrace(lines)
{
    window.live.trace.push(...lines);
    traceLines.push(...lines);
    updatePanelsSoon();
}

// The recording's text: its lines as the device adds them (a drag of the
// slider replaces its last ones), one text node a line.
let recordingChanges = [];

function changeRecording(change)
{
    const lines = window.live.recording;
    if (change.reset)
        lines.length = 0;
    lines.length = Math.max(lines.length - change.drop, 0);
    for (const line of change.lines)
        lines.push(line);
    recordingChanges.push(change);
    updatePanelsSoon();
}

function showRecordingChanges()
{
    const text = $("recording");
    if (text.dataset.empty)
        text.replaceChildren();
    for (const change of recordingChanges) {
        if (change.reset)
            text.replaceChildren();
        for (let i = 0; i < change.drop && text.lastChild; ++i)
            text.lastChild.remove();
        const added = document.createDocumentFragment();
        for (const line of change.lines)
            added.append(line + "\n");
        text.append(added);
    }
    recordingChanges = [];
    const empty = !window.live.recording.length;
    if (empty)
        text.textContent = "Not recording. Turn on “Record scenario” to write one.";
    text.dataset.empty = empty ? "yes" : "";
}

function applyState(next, last)
{
    const app = next.app;
    document.body.classList.toggle("recording", next.recording.on);
    $("record").checked = next.recording.on;

    $("ended").hidden = next.running;
    setText($("ended-text"), "The Camera is not running (" + (next.ended || "not launched") + ").");
    $("launch").disabled = next.running;

    setText($("ios"), next.device.ios);
    setText($("cf"), next.device.cf.toFixed(2));
    setText($("extension"), next.device.extension || "none");
    const installed = next.device.package.version;
    setText($("package"), next.device.package.name + (installed ? " " + installed : " (not installed)"));
    $("package-remove").disabled = !installed;
    const select = $("ios-select");
    if (!select.options.length) {
        select.add(new Option("change…", ""));
        for (const release of next.device.releases.split(/,\s*/))
            select.add(new Option("iOS " + release, release));
    }

    if (app) {
        setText($("module"), app.module);
        yesNo($("rear-flash"), app.camera.rearFlash);
        yesNo($("front-flash"), app.camera.frontFlash);
        yesNo($("torch-available"), app.torch.available);
        setText($("thermal"), app.torch.maxLevel >= 1 ? "none" : "level " + app.torch.maxLevel.toFixed(2));
        setText($("rotation"), app.camera.rotation);
        $("rotate").value = app.camera.rotation;
        setText($("mode"), app.camera.mode + (app.camera.recording ? " (recording)" : "") + ", " + app.camera.device + " camera, flash " + app.camera.flash);
        const level = app.torch.level;
        setText($("led-state"), level > 0 ? "on · " + Math.round(level * 100) + "%" : "off");
        $("led-level").style.width = (level * 100).toFixed(1) + "%";
        const lamp = $("lamp");
        lamp.classList.toggle("on", level > 0);
        lamp.style.boxShadow = level > 0 ? `0 0 ${8 + 24 * level}px ${4 + 10 * level}px rgba(255, 214, 10, ${0.25 + 0.5 * level})` : "none";
        setText($("popover-state"), app.popover ? "shown, " + app.popover.rows + (app.popover.rows === 1 ? " row" : " rows") : "hidden");
        const video = [ "video", "slo-mo", "time-lapse" ].includes(app.camera.mode);
        const recordButton = $("record-video");
        recordButton.disabled = !video;
        recordButton.dataset.command = app.camera.recording ? "record stop" : "record start";
        setText(recordButton, app.camera.recording ? "Stop recording" : "Record video");
        const panelButton = $("settings-panel");
        panelButton.disabled = app.generation !== 6;
        panelButton.dataset.command = app.settingsPanel ? "settings hide" : "settings show";
    } else {
        for (const id of ["module", "rear-flash", "front-flash", "torch-available", "thermal", "rotation", "mode"])
            setText($(id), "—");
        setText($("led-state"), "off");
        $("led-level").style.width = "0";
        $("lamp").classList.remove("on");
        $("lamp").style.boxShadow = "none";
        setText($("popover-state"), "—");
    }

    setText($("prefs-path"), next.prefs.path + (next.prefs.exists ? "" : " (no file)") + (next.prefs.exists && !next.prefs.readable ? " (unreadable)" : ""));
    if (!last || JSON.stringify(last.prefs) !== JSON.stringify(next.prefs)) {
        const body = $("prefs").tBodies[0];
        body.replaceChildren();
        for (const entry of next.prefs.entries) {
            const row = body.insertRow();
            row.dataset.key = entry.key;
            row.insertCell().textContent = entry.key;
            const type = row.insertCell();
            type.textContent = entry.type;
            type.className = "type";
            const value = row.insertCell();
            value.textContent = entry.value;
            value.className = "value";
        }
        setText($("prefs-text"), next.prefs.text);
    }
}

const kShownTraceLines = 2000;
let shownTraceLines = 0;

function appendTrace(lines)
{
    const trace = $("trace");
    shownTraceLines += lines.length;
    if (shownTraceLines > 2 * kShownTraceLines) {
        // The oldest lines go, many at once rather than one by one.
        const kept = window.live.trace.slice(-kShownTraceLines);
        window.live.trace = kept;
        trace.textContent = kept.map((line) => line + "\n").join("");
        shownTraceLines = kept.length;
    } else {
        trace.append(lines.map((line) => line + "\n").join(""));
    }
}

function connect()
{
    const events = new EventSource("events");
    events.addEventListener("open", () => {
        $("connection").textContent = "live";
        $("connection").classList.add("live");
        $("trace").textContent = "";
        window.live.trace = [];
        // A new stream may be a new server, numbering its frames from 1.
        lastFrameShown = frameAwaited = 0;
        traceLines = [];
        shownTraceLines = 0;
    });
    events.addEventListener("error", () => {
        $("connection").textContent = "reconnecting…";
        $("connection").classList.remove("live");
        // A refused stream (too many pages open) is not retried by the
        // browser: the page tries again itself.
        if (events.readyState === EventSource.CLOSED)
            setTimeout(connect, 2000);
    });
    events.addEventListener("state", (event) => showState(JSON.parse(event.data)));
    events.addEventListener("trace", (event) => addTrace(JSON.parse(event.data)));
    events.addEventListener("recording", (event) => changeRecording(JSON.parse(event.data)));
}

// The pointer: a press and release is a tap at that point; a press on the
// slider drags it, its value following the pointer along the track.
function pointAt(event)
{
    const box = canvas.getBoundingClientRect();
    const screenWidth = screenSize[0] / 2, screenHeight = screenSize[1] / 2;
    const x = ((event.clientX - box.left) * screenWidth) / box.width;
    const y = ((event.clientY - box.top) * screenHeight) / box.height;
    const half = (value) => Math.round(value * 2) / 2;
    return { x : Math.min(Math.max(half(x), 0), screenWidth - 0.5), y : Math.min(Math.max(half(y), 0), screenHeight - 0.5) };
}

function onSlider(point)
{
    const slider = state && state.app && state.app.slider;
    if (!slider || !slider.enabled)
        return null;
    const [x, y, width, height] = slider.frame;
    return point.x >= x - 10 && point.x <= x + width + 10 && point.y >= y - 10 && point.y <= y + height + 10 ? slider : null;
}

function sliderValue(slider, point)
{
    const [x0, , x1] = slider.track;
    const fraction = Math.min(Math.max((point.x - x0) / (x1 - x0), 0), 1);
    return Math.round((slider.min + fraction * (slider.max - slider.min)) * 100) / 100;
}

let press = null;
let sliderInFlight = false;
let sliderPending = null;
let sliderSent = null;

async function sendSlider(value)
{
    if (sliderInFlight) {
        sliderPending = value;
        return;
    }
    sliderInFlight = true;
    sliderSent = value;
    await send("slider " + value);
    sliderInFlight = false;
    if (sliderPending !== null && sliderPending !== sliderSent) {
        const next = sliderPending;
        sliderPending = null;
        sendSlider(next);
    }
    sliderPending = null;
}

canvas.addEventListener("pointerdown", (event) => {
    const pressed = event.timeStamp; // when the browser took the press, before the page saw it
    const point = pointAt(event);
    const slider = onSlider(point);
    press = { point, slider, pressed };
    canvas.setPointerCapture(event.pointerId);
    event.preventDefault();
});

canvas.addEventListener("pointermove", (event) => {
    if (!press || !press.slider)
        return;
    const value = sliderValue(press.slider, pointAt(event));
    if (value !== sliderSent && value !== sliderPending)
        sendSlider(value);
});

canvas.addEventListener("pointerup", (event) => {
    if (!press)
        return;
    const { point, slider, pressed } = press;
    press = null;
    const end = pointAt(event);
    if (slider) {
        const value = sliderValue(slider, end);
        if (Math.hypot(end.x - point.x, end.y - point.y) < 4 && Math.abs(value - slider.value) < 0.015)
            return; // a touch on the thumb that did not move it
        if (value !== sliderSent || sliderInFlight)
            sendSlider(value);
        return;
    }
    send("tap at " + point.x + " " + point.y, { pressed, released : performance.now() });
});

canvas.addEventListener("pointercancel", () => {
    press = null;
});

// Buttons that run commands: data-command, or data-commands (a; b).
document.addEventListener("click", (event) => {
    const button = event.target.closest("[data-command], [data-commands]");
    if (!button || button.disabled)
        return;
    event.preventDefault();
    if (button.dataset.commands)
        sendAll(button.dataset.commands.split(";"));
    else
        send(button.dataset.command);
});

for (const button of document.querySelectorAll("[data-expect]")) {
    button.addEventListener("click", async () => {
        const answer = await post("api/expect", { what : button.dataset.expect });
        if (answer)
            showMessage(answer.recorded.length ? "recorded: " + answer.recorded.join(", ") : "the expectations hold (not recording)", false);
    });
}

$("record").addEventListener("change", (event) => post("api/recording", { on : event.target.checked }));

$("rotate").addEventListener("change", (event) => send("rotate " + event.target.value));

$("ios-select").addEventListener("change", async (event) => {
    const release = event.target.value;
    event.target.value = "";
    if (release)
        await sendAll([ "quit", "device ios=" + release, "launch" ]);
});

$("extension-set").addEventListener("click", () => {
    const name = $("extension-name").value.trim();
    send("device extension=" + (name || "none"));
});

$("editor-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const key = $("editor-key").value.trim();
    const value = $("editor-value").value.trim();
    if (!key || !value) {
        showMessage("the settings editor needs a key and a value", true);
        return;
    }
    send(`editor set ${key} ${$("editor-type").value} ${value}`);
});

$("command-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const command = $("command").value.trim();
    if (command)
        send(command);
});

connect();
