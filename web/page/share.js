// Share links: the address fragment carries a program, "#load=ADDR:BYTES" with the bytes in base64url,
// and "&run=ADDR" to start it. Opening such a link loads the bytes through the core's binary loader,
// which refuses what does not fit; a damaged link says so and loads nothing.
import { ask, showBox } from './dialogs.js';
import { FOLDER } from './files.js';

const LINK_CAPTION = 'Share link';

function toBase64Url(bytes) {
  let text = '';
  for (const b of bytes) text += String.fromCharCode(b);
  return btoa(text).replaceAll('+', '-').replaceAll('/', '_').replace(/=+$/, '');
}

// The bytes, or null when the text is no base64url.
function fromBase64Url(text) {
  if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) return null;
  const plain = atob(text.replaceAll('-', '+').replaceAll('_', '/'));
  return Uint8Array.from(plain, (c) => c.charCodeAt(0));
}

export class Share {
  // `started(address)`: the program was loaded and is to run from the address.
  constructor(board, started) {
    this.board = board;
    this.started = started;
  }

  // What the fragment asks: { at, bytes, run } or { problem }; null for a fragment that is no link.
  read(hash) {
    const params = new URLSearchParams(hash.replace(/^#/, ''));
    const load = params.get('load');
    if (load === null) return null;
    const api = this.board.api;
    const [address, data, ...rest] = load.split(':');
    const at = api.address(address ?? '');
    if (at < 0 || data === undefined || rest.length) return { problem: 'The link is damaged: it gives no load address.' };
    const bytes = fromBase64Url(data);
    if (!bytes) return { problem: "The link is damaged: its program's bytes are cut or changed." };
    let run = null;
    if (params.has('run')) {
      run = api.address(params.get('run'));
      if (run < 0) return { problem: 'The link is damaged: it gives no start address.' };
    }
    return { at, bytes, run };
  }

  // Loads the program the fragment carries, if it carries one; a box says what is wrong with a bad one.
  open(hash) {
    const link = this.read(hash);
    if (!link) return;
    if (link.problem) return showBox(LINK_CAPTION, link.problem);
    const api = this.board.api;
    const fs = this.board.module.FS;
    const path = `${FOLDER}/link.bin`;
    fs.writeFile(path, link.bytes);
    api.loadProgram(path, link.at);
    fs.unlink(path);
    if (api.message()) return showBox(LINK_CAPTION, api.message());
    if (link.run !== null) this.started(link.run);
  }

  // Share Link...: a range of memory (and where to start it) as a link, shown and copied.
  async make() {
    const api = this.board.api;
    const good = ([start, end, run]) => {
      const s = api.address(start), e = api.address(end);
      return s >= 0 && e >= s && (run.trim() === '' || api.address(run) >= 0);
    };
    const answer = await ask('#share', ['0200', '02FF', ''], good);
    if (!answer) return;
    const [start, end, run] = answer;
    const fs = this.board.module.FS;
    const path = `${FOLDER}/share.bin`;
    api.saveBinary(path, api.address(start), api.address(end));
    if (api.message()) return showBox(LINK_CAPTION, api.message());
    const bytes = fs.readFile(path);
    fs.unlink(path);
    let hash = `load=${start.toUpperCase()}:${toBase64Url(bytes)}`;
    if (run.trim()) hash += `&run=${run.trim().toUpperCase()}`;
    const link = `${location.href.split('#')[0]}#${hash}`;
    navigator.clipboard?.writeText(link).catch(() => {});
    await showBox(LINK_CAPTION, link);
  }
}
