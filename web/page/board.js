// The core compiled to WebAssembly, through its C API (web/api.h).
export class Board {
  constructor(module) {
    this.module = module;
    const c = (name, result, args) => module.cwrap(name, result, args);
    this.api = {
      powerOn: c('orvPowerOn', 'string', ['number']),
      run: c('orvRun', 'number', ['number']),
      cycles: c('orvCycles', 'number', []),
      keyCount: c('orvKeyCount', 'number', []),
      keyLegend: c('orvKeyLegend', 'string', ['number']),
      keyCharacters: c('orvKeyCharacters', 'string', ['number']),
      keyX: c('orvKeyX', 'number', ['number']),
      keyY: c('orvKeyY', 'number', ['number']),
      key: c('orvKey', null, ['number']),
      type: c('orvType', 'number', ['string']),
      keysLeft: c('orvKeysLeft', 'number', []),
      stopKeys: c('orvStopKeys', null, []),
      pasteMemory: c('orvPasteMemory', 'number', ['string', 'number']),
      editText: c('orvEditText', 'string', ['number']),
      segmentBox: c('orvSegmentBox', 'number', ['number', 'number']),
      digitLeft: c('orvDigitLeft', 'number', ['number']),
      panelUnits: c('orvPanelUnits', 'number', ['number']),
      colour: c('orvColour', 'number', ['number']),
      digit: c('orvDigit', 'number', ['number']),
      displayText: c('orvDisplayText', 'string', []),
      tapeLight: c('orvTapeLight', 'number', []),
      registerLine: c('orvRegisterLine', 'string', []),
      invalidOpcode: c('orvInvalidOpcode', 'string', ['number']),
      fileKind: c('orvFileKind', 'number', ['string']),
      loadProgram: c('orvLoadProgram', 'number', ['string', 'number']),
      saveObject: c('orvSaveObject', 'number', ['string', 'number', 'number']),
      message: c('orvMessage', 'string', []),
      setRun: c('orvSetRun', null, ['number', 'number', 'number']),
      noteCount: c('orvNoteCount', 'number', []),
      note: c('orvNote', 'number', ['number', 'number']),
      notesTaken: c('orvNotesTaken', null, []),
      saveBinary: c('orvSaveBinary', 'number', ['string', 'number', 'number']),
      setPc: c('orvSetPc', null, ['number']),
      register: c('orvRegister', 'number', ['number']),
      setRegister: c('orvSetRegister', null, ['number', 'number']),
      disassemble: c('orvDisassemble', 'string', ['number']),
      labelsAt: c('orvLabelsAt', 'string', ['number']),
      loadLabels: c('orvLoadLabels', 'number', ['string']),
      toggleBreakpoint: c('orvToggleBreakpoint', null, ['number']),
      breakpointAt: c('orvBreakpointAt', 'number', ['number']),
      armBreakpoints: c('orvArmBreakpoints', null, ['number']),
      stopReason: c('orvStopReason', 'string', []),
      stepBegin: c('orvStepBegin', null, ['number', 'number']),
      stepContinue: c('orvStepContinue', 'number', ['number']),
      peek: c('orvPeek', 'number', ['number']),
      poke: c('orvPoke', null, ['number', 'number']),
      saveState: c('orvSaveState', 'number', ['string']),
      loadState: c('orvLoadState', 'number', ['string']),
      tapeRecord: c('orvTapeRecord', 'number', ['string']),
      tapePlay: c('orvTapePlay', 'number', ['string']),
      tapeStop: c('orvTapeStop', 'number', []),
      address: c('orvAddress', 'number', ['string']),
      resultText: c('orvResultText', 'string', ['number', 'number', 'string']),
      caption: c('orvCaption', 'string', ['number']),
      withEnding: c('orvWithEnding', 'string', ['string', 'string']),
    };
    const a = this.api;
    this.keys = [];
    for (let id = 0; id < a.keyCount(); ++id)
      this.keys.push({ id, legend: a.keyLegend(id), characters: a.keyCharacters(id), x: a.keyX(id), y: a.keyY(id) });
    this.geometry = {
      panelWidth: a.panelUnits(0),
      displayHeight: a.panelUnits(1),
      keypadHeight: a.panelUnits(2),
      keyWidth: a.panelUnits(3),
      keyHeight: a.panelUnits(4),
      segments: [...Array(8).keys()].map((bit) => ({
        left: a.segmentBox(bit, 0),
        right: a.segmentBox(bit, 1),
        top: a.segmentBox(bit, 2),
        bottom: a.segmentBox(bit, 3),
        shape: a.segmentBox(bit, 4),
      })),
      digitLeft: [...Array(8).keys()].map((position) => a.digitLeft(position)),
    };
  }

  // The key a typed character presses, by the key table's characters; -1 for none.
  keyOfCharacter(character) {
    if (character.length !== 1) return -1;
    const key = this.keys.find((k) => k.characters.includes(character));
    return key ? key.id : -1;
  }

  keyWithLegend(legend) {
    const key = this.keys.find((k) => k.legend === legend);
    return key ? key.id : -1;
  }

  // The panel's colours, in the order of PanelColour (machine/panel_geometry.h).
  colours() {
    const names = ['black', 'frame', 'debug', 'white', 'panel', 'playActive', 'playIdle', 'recordActive',
      'recordIdle', 'segment', 'highlight', 'dark'];
    const out = {};
    names.forEach((name, i) => { out[name] = '#' + this.api.colour(i).toString(16).padStart(6, '0'); });
    return out;
  }

  // The tape's notes since the last call.
  takeNotes() {
    const a = this.api;
    const notes = [];
    for (let i = 0; i < a.noteCount(); ++i) notes.push({ cycle: a.note(i, 0), note: a.note(i, 1), on: a.note(i, 2) === 1 });
    a.notesTaken();
    return notes;
  }

  digits() {
    return [...Array(8).keys()].map((p) => this.api.digit(p));
  }
}

export async function startBoard(factory) {
  const module = await factory();
  return new Board(module);
}
