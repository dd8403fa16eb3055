// The page's dialogs: a message box with its caption, and questions whose OK is enabled only while
// the answer is good. Each resolves once it is closed.
import { $ } from './dom.js';

export function showBox(caption, text) {
  const dialog = $('#box');
  dialog.querySelector('h2').textContent = caption;
  dialog.querySelector('p').textContent = text;
  dialog.showModal();
  return new Promise((resolve) => dialog.addEventListener('close', () => resolve(), { once: true }));
}

// Shows the form dialog with these field values; `check` says whether they make an answer. Resolves to
// the fields' values on OK, null on Cancel.
export function ask(id, values, check) {
  const dialog = $(id);
  const form = dialog.querySelector('form');
  const fields = [...form.querySelectorAll('input')];
  const ok = form.querySelector('button[value="ok"]');
  fields.forEach((field, i) => { field.value = values[i] ?? ''; });
  const update = () => { ok.disabled = !check(fields.map((f) => f.value)); };
  form.addEventListener('input', update);
  update();
  dialog.returnValue = '';
  dialog.showModal();
  return new Promise((resolve) => {
    dialog.addEventListener('close', () => {
      form.removeEventListener('input', update);
      resolve(dialog.returnValue === 'ok' ? fields.map((f) => f.value) : null);
    }, { once: true });
  });
}
