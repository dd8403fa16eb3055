// The debugger view: registers to edit, the disassembly from PC with the monitor's labels and the
// user's, breakpoints, step into, over and out, run to here, and memory to read and edit. Everything
// comes from the core's debugger; the view only shows it and hands on what the user asks.
import { $ } from './dom.js';
import { showBox } from './dialogs.js';
import { FOLDER } from './files.js';

const REGISTERS = ['PC', 'A', 'X', 'Y', 'SP', 'P'];
const LINES = 16;
const MEMORY_ROWS = 8;
// Step over (0), out (1) or to an address (2) run this many cycles a frame: full speed, the page alive.
const STEP_CHUNK = 200000;
const STEP_RUNNING = 0;

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');

export class Debugger {
  // `control`: { halted(), step(), shown() } of the page's run control; shown() redraws its register line.
  constructor(board, control) {
    this.board = board;
    this.control = control;
    this.shown = false;
    this.stepping = false;
    this.memoryAt = 0x0200;
    this.root = $('#debugger');
    this.registers = REGISTERS.map((name, i) => {
      const label = document.createElement('label');
      label.textContent = `${name} `;
      const input = document.createElement('input');
      input.size = i === 0 ? 4 : 2;
      input.maxLength = i === 0 ? 4 : 2;
      input.setAttribute('aria-label', `Register ${name}`);
      input.addEventListener('change', () => this.setRegister(i, input));
      label.append(input);
      this.root.querySelector('.registers').append(label);
      return input;
    });
    this.root.querySelector('.step-into').addEventListener('click', () => this.stepInto());
    this.root.querySelector('.step-over').addEventListener('click', () => this.beginStep(0, 0));
    this.root.querySelector('.step-out').addEventListener('click', () => this.beginStep(1, 0));
    this.root.querySelector('.memory-at').addEventListener('change', (event) => {
      const at = board.api.address(event.target.value);
      if (at >= 0) this.memoryAt = at;
      this.render();
    });
    const labels = this.root.querySelector('.labels-file');
    this.root.querySelector('.load-labels').addEventListener('click', () => labels.click());
    labels.addEventListener('change', async () => {
      const [file] = labels.files;
      labels.value = '';
      if (file) await this.loadLabels(file);
    });
  }

  show(shown) {
    this.shown = shown;
    this.root.hidden = !shown;
    this.board.api.armBreakpoints(shown ? 1 : 0);
    this.render();
  }

  setRegister(which, input) {
    const value = Number.parseInt(input.value, 16);
    if (this.control.halted() && /^[0-9a-f]+$/i.test(input.value)) this.board.api.setRegister(which, value);
    this.render();
  }

  stepInto() {
    if (!this.control.halted()) return;
    this.control.step();
    this.render();
  }

  beginStep(kind, target) {
    if (!this.control.halted() || this.stepping) return;
    this.board.api.stepBegin(kind, target);
    this.stepping = true;
    this.setReason('Running...');
  }

  // Once a frame while a step over, out or run to here is under way.
  continueStep() {
    if (!this.stepping) return;
    const state = this.board.api.stepContinue(STEP_CHUNK);
    if (state === STEP_RUNNING) return;
    this.stepping = false;
    this.setReason(state === 2 ? this.board.api.stopReason() : '');
    this.render();
  }

  // The run stopped at a breakpoint or watchpoint.
  stopped() {
    this.setReason(this.board.api.stopReason());
    this.render();
  }

  setReason(text) {
    this.root.querySelector('.reason').textContent = text;
  }

  async loadLabels(file) {
    const text = await file.text();
    if (this.readLabels(file.name, text)) this.storage?.setItem('orvane.labels', JSON.stringify({ name: file.name, text }));
    else await showBox(this.board.api.caption(8), this.board.api.message() || this.board.api.resultText(6, 0, file.name));
    this.render();
  }

  // The label file kept from the last visit, read again quietly.
  restoreLabels(storage) {
    this.storage = storage;
    try {
      const kept = JSON.parse(storage.getItem('orvane.labels') ?? 'null');
      if (kept) this.readLabels(kept.name, kept.text);
    } catch {
      storage.removeItem('orvane.labels');
    }
  }

  // True when the labels read without a complaint.
  readLabels(name, text) {
    const path = `${FOLDER}/${name}`;
    this.board.module.FS.writeFile(path, text);
    const count = this.board.api.loadLabels(path);
    this.board.module.FS.unlink(path);
    return count > 0 && !this.board.api.message();
  }

  render() {
    if (!this.shown) return;
    this.control.shown();
    const api = this.board.api;
    const halted = this.control.halted() && !this.stepping;
    this.registers.forEach((input, i) => {
      if (document.activeElement !== input) input.value = hex(api.register(i), i === 0 ? 4 : 2);
      input.disabled = !halted;
    });
    for (const button of this.root.querySelectorAll('.steps button')) button.disabled = !halted;
    const list = this.root.querySelector('.disassembly');
    list.replaceChildren();
    if (!halted) {
      list.textContent = 'Running...';
      return;
    }
    let at = api.register(0);
    for (let n = 0; n < LINES; ++n) {
      const [length, ...text] = api.disassemble(at).split(' ');
      const row = document.createElement('li');
      const labels = api.labelsAt(at);
      const address = at;
      const mark = document.createElement('button');
      mark.type = 'button';
      mark.className = 'mark';
      mark.textContent = api.breakpointAt(at) ? '\u25cf' : ' ';
      mark.setAttribute('aria-label', `Breakpoint at $${hex(at, 4)}`);
      mark.setAttribute('aria-pressed', String(api.breakpointAt(at) === 1));
      mark.addEventListener('click', () => {
        api.toggleBreakpoint(address);
        this.render();
      });
      const code = document.createElement('code');
      code.textContent = `${n === 0 ? '>' : ' '} ${hex(at, 4)}  ${labels ? `${labels}: ` : ''}${text.join(' ')}`;
      const runTo = document.createElement('button');
      runTo.type = 'button';
      runTo.textContent = 'Run to here';
      runTo.setAttribute('aria-label', `Run to $${hex(at, 4)}`);
      runTo.addEventListener('click', () => this.beginStep(2, address));
      row.append(mark, code, runTo);
      list.append(row);
      at = (at + Number(length)) & 0xffff;
    }
    this.renderMemory();
  }

  renderMemory() {
    const api = this.board.api;
    const at = this.root.querySelector('.memory-at');
    if (document.activeElement !== at) at.value = hex(this.memoryAt, 4);
    const table = this.root.querySelector('.memory');
    table.replaceChildren();
    for (let row = 0; row < MEMORY_ROWS; ++row) {
      const line = document.createElement('div');
      const base = (this.memoryAt + row * 16) & 0xffff;
      line.append(`${hex(base, 4)} `);
      for (let i = 0; i < 16; ++i) {
        const address = (base + i) & 0xffff;
        const cell = document.createElement('input');
        cell.size = 2;
        cell.maxLength = 2;
        cell.value = hex(api.peek(address), 2);
        cell.setAttribute('aria-label', `Memory $${hex(address, 4)}`);
        cell.addEventListener('change', () => {
          if (/^[0-9a-f]{1,2}$/i.test(cell.value)) api.poke(address, Number.parseInt(cell.value, 16));
          this.render();
        });
        line.append(cell);
      }
      table.append(line);
    }
  }
}
