// The settings page: every value goes into the page as text (never as HTML).
'use strict';

const form = document.getElementById('settings-form');
const groupsBox = document.getElementById('groups');
const result = document.getElementById('result');
const note = document.getElementById('note');
const fields = new Map(); // key -> {field, input, original, error}
let csrf = null;

function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

function inputFor(field) {
  if (field.kind === 'boolean') {
    const box = el('input');
    box.type = 'checkbox';
    box.checked = /^true$/i.test(field.value || '');
    return box;
  }
  if (field.kind === 'choice') {
    const select = el('select');
    for (const choice of field.choices) select.append(el('option', '', choice));
    select.value = field.value;
    return select;
  }
  const input = el('input');
  if (field.secret) {
    input.type = 'password';
    input.autocomplete = 'new-password';
    input.placeholder = field.set ? 'set' : 'not set';
  } else {
    input.type = 'text';
    input.value = field.value ?? '';
  }
  if (field.kind === 'whole' || field.kind === 'number') input.inputMode = 'decimal';
  return input;
}

function textOf(entry) {
  const input = entry.input;
  if (input.type === 'checkbox') return input.checked ? 'True' : 'False';
  return input.value;
}

function row(field) {
  const line = el('div', 'setting');
  const id = 'f-' + field.key;
  const label = el('label', '', field.label);
  label.htmlFor = id;
  const input = inputFor(field);
  input.id = id;
  input.dataset.key = field.key;
  line.append(label, input);
  if (field.unit) line.append(el('span', 'unit', field.unit));
  if (field.secret) line.append(el('span', 'unit secret-state', field.set ? 'set' : 'not set'));
  if (field.restart) line.append(el('span', 'unit restart', 'after a restart'));
  const error = el('span', 'error');
  error.hidden = true;
  line.append(error);
  fields.set(field.key, {field, input, original: field.secret ? '' : textOf({input}), error});
  return line;
}

function show(description) {
  groupsBox.replaceChildren();
  fields.clear();
  for (const group of description.groups) {
    const set = el('fieldset', 'group');
    set.append(el('legend', '', group.name));
    for (const field of group.fields) set.append(row(field));
    groupsBox.append(set);
  }
}

// "/settings?Sky/K1=104": proposals shown in their boxes, saved only with Save.
function prefillFromQuery() {
  const proposed = [];
  for (const [key, value] of new URLSearchParams(location.search)) {
    const entry = fields.get(key);
    if (!entry) continue;
    if (entry.input.type === 'checkbox') entry.input.checked = /^true$/i.test(value);
    else entry.input.value = value;
    entry.input.classList.add('proposed');
    proposed.push(entry.field.label);
  }
  if (proposed.length) {
    note.textContent = 'Proposed values (not saved yet): ' + proposed.join(', ') + '. Press Save to use them.';
    note.hidden = false;
  }
}

function changes() {
  const out = {};
  for (const [key, entry] of fields) {
    const text = textOf(entry);
    if (entry.field.secret ? text !== '' : text !== entry.original) out[key] = text;
  }
  return out;
}

function clearErrors() {
  for (const entry of fields.values()) {
    entry.error.hidden = true;
    entry.error.textContent = '';
    entry.input.classList.remove('invalid');
  }
}

async function load() {
  const reply = await fetch('/tarnwick/v1/settings', {cache: 'no-store'});
  if (!reply.ok) throw new Error('settings not readable: ' + reply.status);
  show(await reply.json());
}

async function session() {
  try {
    const reply = await fetch('/tarnwick/v1/session', {cache: 'no-store'});
    const type = reply.headers.get('Content-Type') || '';
    if (reply.ok && type.includes('json')) csrf = (await reply.json()).csrf || null;
  } catch (e) {
    csrf = null; // no session route: the gate decides alone
  }
}

async function save(event) {
  event.preventDefault();
  clearErrors();
  const body = changes();
  if (!Object.keys(body).length) {
    result.textContent = 'Nothing changed.';
    return;
  }
  const headers = {'Content-Type': 'application/json'};
  if (csrf) headers['X-CSRF-Token'] = csrf;
  result.textContent = 'Saving…';
  const reply = await fetch('/tarnwick/v1/settings', {method: 'POST', headers, body: JSON.stringify(body)});
  const answer = await reply.json().catch(() => ({}));
  if (!reply.ok) {
    const entry = answer.field && fields.get(answer.field);
    if (entry) {
      entry.error.textContent = answer.message;
      entry.error.hidden = false;
      entry.input.classList.add('invalid');
      entry.input.focus();
    }
    result.textContent = 'Not saved: ' + (answer.message || ('error ' + reply.status));
    return;
  }
  const later = answer.restartNeeded || [];
  result.textContent = 'Saved: ' + (answer.applied || []).concat(later).join(', ')
    + (later.length ? '. After a restart: ' + later.join(', ') : '') + '.';
  note.hidden = true;
  await load();
}

form.addEventListener('submit', (event) => {
  save(event).catch((e) => { result.textContent = 'Not saved: ' + e.message; });
});
Promise.all([load(), session()]).then(prefillFromQuery).catch((e) => {
  result.textContent = e.message;
});
