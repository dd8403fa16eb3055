// Files as on the desktop: Load (object files, and binaries at an address asked for), dropped files,
// and Save As of an address range as an object file, offered as a download. The bytes cross through
// the page's file system to the core's own readers and writers; results and refusals show the
// desktop's texts.
import { ask, showBox } from './dialogs.js';

export const FOLDER = '/files';
const KIND_BINARY = 1;
const KIND_TAPE = 2;
const KIND_NONE = 3;

const QUICK_STATE = `${FOLDER}/quick.orvstate`;
const STATE_ENDING = 'orvstate';

export class Files {
  // `stateLoaded(halted)`: a state has replaced the board; it runs unless it was saved halted.
  constructor(board, storage, stateLoaded) {
    this.board = board;
    this.storage = storage;
    this.stateLoaded = stateLoaded;
    this.fs = board.module.FS;
    try {
      this.fs.mkdir(FOLDER);
    } catch {
      // There already.
    }
  }

  remembered(key, fallback) {
    return this.storage.getItem(`orvane.${key}`) ?? fallback;
  }

  remember(key, value) {
    this.storage.setItem(`orvane.${key}`, value);
  }

  // The file's bytes written where the core reads them; its path there.
  async put(file) {
    const path = `${FOLDER}/${file.name}`;
    this.fs.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    return path;
  }

  // The address a binary loads at, asked as the desktop asks it; null when cancelled.
  async askBinaryAddress(name) {
    document.querySelector('#address-caption').textContent = 'Orvane - Load Binary';
    document.querySelector('#address-question').textContent = `Load '${name}' at:`;
    const api = this.board.api;
    const answer = await ask('#address', [this.remembered('binaryAddress', '0200')],
      ([text]) => api.address(text) >= 0);
    if (!answer) return null;
    this.remember('binaryAddress', answer[0].toUpperCase());
    return api.address(answer[0]);
  }

  // Loads one program file as its name says; the core's message, empty when it loaded, and the bytes.
  // Null when the user cancelled the address.
  async loadProgram(file, asObject) {
    const api = this.board.api;
    const kind = asObject ? 0 : api.fileKind(file.name);
    if (kind === KIND_NONE) return { message: api.resultText(4, 0, file.name), count: 0 };
    if (kind === KIND_TAPE) {
      // A tape that runs gives way to the new one, as on the desktop.
      if (this.tape) await this.stopTape();
      return { message: await this.startPlaying(file), count: 0 };
    }
    let at = -1;
    if (kind === KIND_BINARY) {
      at = await this.askBinaryAddress(file.name);
      if (at === null) return null;
    }
    const path = await this.put(file);
    const count = api.loadProgram(path, at);
    this.fs.unlink(path);
    const message = api.message();
    if (!message && kind !== KIND_BINARY) this.remember('objectName', file.name);
    return { message, count };
  }

  // Load from the file chooser: a box with the result, as Load's.
  async load(file) {
    const result = await this.loadProgram(file, !file.name.toLowerCase().endsWith('.bin'));
    if (!result) return;
    const api = this.board.api;
    if (result.message) await showBox(api.caption(0), result.message);
    else await showBox(api.caption(2), api.resultText(0, result.count, file.name));
  }

  // Dropped files load as from the command line: only failures are told, together.
  async drop(files) {
    const failures = [];
    for (const file of files) {
      const result = await this.loadProgram(file, false);
      if (result && result.message) failures.push(result.message);
    }
    if (failures.length) await showBox(this.board.api.caption(0), failures.join('\n'));
  }

  // Save As: the range and the name asked, the object file written by the core, then downloaded.
  async saveAs() {
    const api = this.board.api;
    const good = ([start, end, name]) => {
      const s = api.address(start), e = api.address(end);
      return s >= 0 && e >= s && name.trim() !== '';
    };
    const answer = await ask('#save', [this.remembered('saveStart', '0000'), this.remembered('saveEnd', '00FF'),
      this.remembered('objectName', '')], good);
    if (!answer) return;
    const [start, end] = answer;
    const name = api.withEnding(answer[2].trim(), 'obj');
    this.remember('saveStart', start);
    this.remember('saveEnd', end);
    const path = `${FOLDER}/${name.replaceAll('/', '_')}`;
    const count = api.saveObject(path, api.address(start), api.address(end));
    const message = api.message();
    if (message) return showBox(api.caption(1), message);
    this.download(path, name);
    this.remember('objectName', name);
    await showBox(api.caption(3), api.resultText(1, count, name));
  }

  // Save State...: the name asked, the state written by the core, then downloaded.
  async saveState() {
    const api = this.board.api;
    document.querySelector('#name-caption').textContent = 'Save State...';
    const answer = await ask('#name', [this.remembered('stateName', '')], ([name]) => name.trim() !== '');
    if (!answer) return;
    const name = api.withEnding(answer[0].trim(), STATE_ENDING);
    const path = `${FOLDER}/${name.replaceAll('/', '_')}`;
    if (!api.saveState(path)) return showBox(api.caption(1), api.message());
    const warning = api.message();
    this.download(path, name);
    this.remember('stateName', name);
    await showBox(api.caption(3), api.resultText(2, 0, name) + (warning ? `\n\n${warning}` : ''));
  }

  // Load State...: a box with the result, the board going on as the state was saved.
  async loadState(file) {
    const path = await this.put(file);
    const loaded = this.loadStateFrom(path);
    this.fs.unlink(path);
    if (loaded) await showBox(this.board.api.caption(2), this.board.api.resultText(3, 0, file.name));
  }

  loadStateFrom(path) {
    const api = this.board.api;
    const loaded = api.loadState(path);
    if (!loaded) {
      showBox(api.caption(0), api.message());
      return false;
    }
    this.stateLoaded(loaded === 2);
    return true;
  }

  // Quick Save State: the state kept in the browser's storage; quiet unless something is wrong.
  quickSave() {
    const api = this.board.api;
    if (!api.saveState(QUICK_STATE)) return showBox(api.caption(1), api.message());
    const bytes = this.fs.readFile(QUICK_STATE);
    this.fs.unlink(QUICK_STATE);
    this.remember('quickState', btoa(String.fromCharCode(...bytes)));
    if (api.message()) showBox(api.caption(3), api.message());
  }

  quickLoad() {
    const api = this.board.api;
    const kept = this.remembered('quickState', null);
    if (kept === null) return showBox(api.caption(4), api.resultText(5, 0, ''));
    this.fs.writeFile(QUICK_STATE, Uint8Array.from(atob(kept), (c) => c.charCodeAt(0)));
    this.loadStateFrom(QUICK_STATE);
    this.fs.unlink(QUICK_STATE);
  }

  // Tape Record: the name asked, the recording started; its file is offered once the tape stops.
  async recordTape() {
    if (this.tape) return;
    const api = this.board.api;
    document.querySelector('#name-caption').textContent = 'Start Recording...';
    const answer = await ask('#name', [this.remembered('tapeName', '')], ([name]) => name.trim() !== '');
    if (!answer) return;
    const name = api.withEnding(answer[0].trim(), 'mid');
    const path = `${FOLDER}/${name.replaceAll('/', '_')}`;
    if (!api.tapeRecord(path)) return showBox(api.caption(5), api.message());
    this.remember('tapeName', name);
    this.tape = { path, name, recording: true };
  }

  // Tape Play from the file chooser: a box only when it cannot play.
  async playTape(file) {
    if (this.tape) return;
    const message = await this.startPlaying(file);
    if (message) await showBox(this.board.api.caption(6), message);
  }

  async startPlaying(file) {
    const path = await this.put(file);
    if (!this.board.api.tapePlay(path)) {
      this.fs.unlink(path);
      return this.board.api.message();
    }
    this.tape = { path, name: file.name, recording: false };
    return '';
  }

  // Tape Stop, by hand or when the ended tape's stop falls due: a recording is offered as a download.
  async stopTape() {
    const api = this.board.api;
    const ran = api.tapeStop();
    const message = api.message();
    const tape = this.tape;
    this.tape = null;
    if (tape && this.fs.analyzePath(tape.path).exists) {
      if (ran === 2 && tape.recording) this.download(tape.path, tape.name);
      else this.fs.unlink(tape.path);
    }
    if (message) await showBox(api.caption(7), message);
  }

  // Offers the file at `path` as a download named `name`, and lets it go from the file system.
  download(path, name) {
    const blob = new Blob([this.fs.readFile(path)], { type: 'application/octet-stream' });
    this.fs.unlink(path);
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
  }
}
