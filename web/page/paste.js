// Paste as Keys and Paste into Memory, by the desktop's rules: the text typed on the keypad at the
// program's pace (the same command again stops it), or a hex dump or Intel HEX text stored whole or not
// at all, bare bytes at an address asked for. The core reads the text; the boxes say what it said.
import { $ } from './dom.js';
import { ask, showBox } from './dialogs.js';

const PASTE_STORED = 0;
const PASTE_NEEDS_ADDRESS = 1;

export class Paste {
  constructor(board) {
    this.board = board;
    this.typing = false;
    // Where bare bytes were last stored, for this visit.
    this.address = '0200';
  }

  asKeys(text) {
    const api = this.board.api;
    if (this.typing && api.keysLeft() > 0) {
      api.stopKeys();
      this.typing = false;
      return;
    }
    if (api.type(text) === 0) return showBox(api.editText(0), api.editText(1));
    this.typing = true;
  }

  async intoMemory(text) {
    const api = this.board.api;
    let result = api.pasteMemory(text, -1);
    if (result === PASTE_NEEDS_ADDRESS) {
      $('#address-caption').textContent = api.editText(3);
      $('#address-question').textContent = api.editText(4);
      const answer = await ask('#address', [this.address], ([value]) => api.address(value) >= 0);
      if (!answer) return;
      this.address = answer[0].toUpperCase();
      result = api.pasteMemory(text, api.address(answer[0]));
    }
    await showBox(api.editText(2), api.message());
    return result === PASTE_STORED;
  }
}
