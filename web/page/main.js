// The page: the board run at 1 MHz on the page's clock, its panel, the PC keyboard and run control.
import { startBoard } from './board.js';
import { showBox } from './dialogs.js';
import { $ } from './dom.js';
import { Panel } from './panel.js';
import { Debugger } from './debugger.js';
import { Files } from './files.js';
import { Pacer } from './pacer.js';
import { Paste } from './paste.js';
import { Share } from './share.js';
import { Sound } from './sound.js';

// Slice status bits (machine/cpu.h) that stop the run.
const SLICE_BREAK = 0x40;
const SLICE_WATCH = 0x20;
const SLICE_BADOP = 0x80;
const SLICE_STOPS = SLICE_BREAK | SLICE_WATCH | SLICE_BADOP;
// orvRun's bit for an ended tape whose stop is due (web/api.h).
const TAPE_STOP_DUE = 0x100;
// Turbo runs for this long of each frame, in slices of this many cycles.
const TURBO_MS = 12;
const TURBO_SLICE = 20000;
// The paced board's timer, as the desktop's pacer wakes: 20 ms of the board's time a tick.
const TICK_MS = 20;

const board = await startBoard(globalThis.OrvaneModule);
const api = board.api;
const sound = new Sound(document.querySelector('meta[name="orv-click"]').content);
const resetKey = board.keyWithLegend('rst');
const upKey = board.keyWithLegend('^');
const downKey = board.keyWithLegend('v');

const debug = new Debugger(board, {
  halted: () => run.halted,
  step: () => api.run(1),
  shown: () => showRunState(),
});
const panel = new Panel(board, $('#panel'), (id, event) => {
  pressKey(id);
  giveBackFocus(event);
});
const run = { halted: true, turbo: false, mhz: 0 };
const pacer = new Pacer(performance.now());
let speed = { since: performance.now(), cycles: 0 };
let shownText = null;
let paintPending = false;

// A clicked button gives the keyboard back to the panel, as the desktop's buttons give it back to the
// window; one pressed from the keyboard (Tab, then Enter or Space) keeps it, so the user keeps their place.
function giveBackFocus(event) {
  if (event && event.detail > 0) $('#panel').focus();
}

function pressKey(id) {
  sound.playClick();
  api.key(id);
  // A reset starts the board running, as on the desktop.
  if (id === resetKey) startRunning();
}

// Run: the first instruction runs while still halted, so a breakpoint where the processor stands lets
// it go on, as on the desktop.
function runCommand() {
  if (!run.halted || debug.stepping) return;
  if (api.run(1) & SLICE_STOPS) return debug.render();
  startRunning();
}

function startRunning() {
  if (!run.halted) return;
  run.halted = false;
  pacer.restart(performance.now());
  showRunState();
}

function haltRunning() {
  if (run.halted) return;
  run.halted = true;
  showRunState();
  debug.render();
}

function setTurbo(on) {
  run.turbo = on;
  run.mhz = 0;
  speed = { since: performance.now(), cycles: api.cycles() };
  pacer.restart(performance.now());
  showRunState();
}

function showRunState() {
  api.setRun(run.halted ? 1 : 0, run.turbo ? 1 : 0, sound.muted ? 1 : 0);
  $('#halt').disabled = run.halted;
  $('#run').disabled = !run.halted;
  $('#turbo').setAttribute('aria-pressed', String(run.turbo));
  $('#mute').setAttribute('aria-pressed', String(sound.muted));
  let status = run.halted ? api.registerLine() : 'Running...';
  if (run.turbo) status += run.mhz > 0 ? `  Turbo \u00d7${run.mhz.toFixed(run.mhz < 10 ? 1 : 0)}` : '  Turbo';
  $('#status').textContent = status;
}

function runFrame(now) {
  let status = 0;
  if (run.turbo) {
    const end = performance.now() + TURBO_MS;
    do status = api.run(TURBO_SLICE);
    while (!(status & SLICE_STOPS) && performance.now() < end);
    if (now - speed.since >= 1000) {
      const cycles = api.cycles();
      run.mhz = ((cycles - speed.cycles) >>> 0) / ((now - speed.since) * 1000);
      speed = { since: now, cycles };
      showRunState();
    }
  } else {
    const owed = pacer.owed(now);
    if (owed > 0) {
      const before = api.cycles();
      status = api.run(owed);
      pacer.paid((api.cycles() - before) >>> 0);
    }
  }
  if (status & SLICE_STOPS) {
    haltRunning();
    if (status & (SLICE_BREAK | SLICE_WATCH)) debug.stopped();
    if (status & SLICE_BADOP) showBox(api.invalidOpcode(0), api.invalidOpcode(1));
  }
  if (status & TAPE_STOP_DUE) files.stopTape();
}

// The board runs on a timer every TICK_MS (at once again in turbo); the panel is painted in an
// animation frame only when what it shows has changed, so a steady display costs the browser no frames.
function tick() {
  const now = performance.now();
  if (!run.halted) runFrame(now);
  debug.continueStep();
  sound.playNotes(board.takeNotes());
  const shown = { digits: board.digits(), tapeLight: api.tapeLight() };
  if (!panel.shows(shown.digits, shown.tapeLight) && !paintPending) {
    paintPending = true;
    requestAnimationFrame(() => {
      paintPending = false;
      panel.paint(board.digits(), api.tapeLight());
      const text = api.displayText();
      if (text !== shownText) $('#display-text').textContent = shownText = text;
    });
  }
  setTimeout(tick, run.turbo || debug.stepping ? 0 : TICK_MS);
}

function typedKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey) return -1;
  switch (event.key) {
    case 'Escape': return resetKey;
    case 'Enter': return board.keyOfCharacter('\r');
    case 'ArrowUp': return upKey;
    case 'ArrowDown': return downKey;
    case '+':
    case '-':
      zoom(event.key === '+' ? 1 : -1);
      return -1;
    default: return board.keyOfCharacter(event.key);
  }
}

window.addEventListener('keydown', (event) => {
  const target = event.target;
  if (target.closest && target.closest('input, textarea, select, dialog')) return;
  // A focused button takes Enter and Space itself.
  if (target.tagName === 'BUTTON' && (event.key === 'Enter' || event.key === ' ')) return;
  const shortcut = { F5: 'quick-save', F9: 'quick-load' }[event.key];
  if (shortcut && !event.ctrlKey && !event.altKey && !event.metaKey) {
    event.preventDefault();
    return commands[shortcut]();
  }
  if (event.key === 'Pause') {
    event.preventDefault();
    return run.halted ? runCommand() : haltRunning();
  }
  const id = typedKey(event);
  if (id < 0) return;
  event.preventDefault();
  pressKey(id);
});

const commands = {
  halt: haltRunning,
  run: runCommand,
  reset: () => pressKey(resetKey),
  turbo: () => setTurbo(!run.turbo),
  mute: () => {
    sound.muted = !sound.muted;
    remember('mute', sound.muted);
    showRunState();
  },
  load: () => $('#load-file').click(),
  'save-as': () => files.saveAs(),
  'save-state': () => files.saveState(),
  'load-state': () => $('#state-file').click(),
  'quick-save': () => files.quickSave(),
  'quick-load': () => files.quickLoad(),
  'tape-record': () => files.recordTape(),
  'tape-play': () => $('#tape-file').click(),
  'tape-stop': () => files.stopTape(),
  'share-link': () => share.make(),
  // The buttons read the clipboard through the browser, which may ask the user first; Ctrl+V and
  // Ctrl+Shift+V paste without asking.
  'paste-keys': () => clipboardText().then((text) => text !== null && paste.asKeys(text)),
  'paste-memory': () => clipboardText().then((text) => text !== null && paste.intoMemory(text)),
  'show-debugger': () => showDebugger(!debug.shown),
};
for (const [id, command] of Object.entries(commands)) {
  $(`#${id}`).addEventListener('click', async (event) => {
    await command();
    giveBackFocus(event);
  });
}
// A dialog closed gives the keyboard back to the panel, not to the button that opened it.
for (const dialog of document.querySelectorAll('dialog')) dialog.addEventListener('close', () => $('#panel').focus());

const files = new Files(board, window.localStorage, (halted) => {
  run.halted = true;
  if (!halted) startRunning();
  showRunState();
});
for (const [input, open] of [['#load-file', (f) => files.load(f)], ['#state-file', (f) => files.loadState(f)],
  ['#tape-file', (f) => files.playTape(f)]]) {
  $(input).addEventListener('change', async (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file) await open(file);
  });
}
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => {
  event.preventDefault();
  if (event.dataTransfer.files.length) files.drop([...event.dataTransfer.files]);
});

// The view, size and mute as the user left them, kept in the browser's storage.
function remember(key, value) {
  localStorage.setItem(`orvane.view.${key}`, JSON.stringify(value));
}
function remembered(key, fallback) {
  try {
    return JSON.parse(localStorage.getItem(`orvane.view.${key}`)) ?? fallback;
  } catch {
    return fallback;
  }
}
function showDebugger(shown) {
  debug.show(shown);
  $('#show-debugger').setAttribute('aria-pressed', String(shown));
  remember('debugger', shown);
}
// + and -: one scale step larger or smaller, as on the desktop; the window's size no longer decides.
function zoom(step) {
  panel.chosenScale = Math.max(2, (panel.scale || 2) + step);
  remember('scale', panel.chosenScale);
  fit();
}
sound.muted = remembered('mute', false);
panel.chosenScale = remembered('scale', null);
debug.restoreLabels(localStorage);
showDebugger(remembered('debugger', false));

const fit = () => panel.layout(window.innerWidth - 16, window.innerHeight - $('#toolbar').offsetHeight - 48);
window.addEventListener('resize', fit);
fit();

const paste = new Paste(board);
// The clipboard's text for the paste buttons; null when the browser gives none.
async function clipboardText() {
  try {
    return await navigator.clipboard.readText();
  } catch {
    return null;
  }
}
// Ctrl+V pastes into memory, Ctrl+Shift+V as keys, as on the desktop.
let pasteShift = false;
window.addEventListener('keydown', (event) => {
  if (event.key.toLowerCase() === 'v') pasteShift = event.shiftKey;
}, true);
window.addEventListener('paste', (event) => {
  if (event.target.closest && event.target.closest('input, textarea, dialog')) return;
  event.preventDefault();
  const text = event.clipboardData.getData('text/plain');
  if (pasteShift) paste.asKeys(text);
  else paste.intoMemory(text);
});
const share = new Share(board, (address) => {
  api.setPc(address);
  startRunning();
});
window.addEventListener('hashchange', () => share.open(location.hash));

const message = api.powerOn((Math.random() * 0x100000000) >>> 0);
if (message) $('#status').textContent = message;
else startRunning();
share.open(location.hash);
// For the console and the tests: the board's own answers.
globalThis.orvane = {
  keysLeft: () => api.keysLeft(),
  displayText: () => api.displayText(),
  tapeLight: () => api.tapeLight(),
  run: (cycles) => api.run(cycles),
  cycles: () => api.cycles(),
  halted: () => run.halted,
};
document.body.dataset.ready = 'true';
tick();
