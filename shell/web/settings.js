'use strict';

// ---- settings dialog -----------------------------------------------------------------
function addOption(select, value, text) {
  var opt = document.createElement('option');
  opt.value = value;
  opt.textContent = text;
  select.appendChild(opt);
  return opt;
}

function onLayerChoice(select, key) {
  if (select.value !== NEW_LAYER_VALUE) {
    select.dataset.previous = select.value;
    return;
  }
  var answer = window.prompt('Nazwa nowej warstwy:', 'GIS_' + key.toUpperCase());
  var name = typeof answer === 'string' ? answer.trim() : '';
  if (name === '') {
    select.value = select.dataset.previous || '';
    if (select.value === NEW_LAYER_VALUE || select.selectedIndex < 0) select.selectedIndex = 0;
    return;
  }
  var existing = Array.prototype.find.call(select.options, function (o) { return o.value === name; });
  var opt = existing || addOption(select, name, name + ' (nowa)');
  if (!existing) select.insertBefore(opt, select.querySelector('option[value="' + NEW_LAYER_VALUE + '"]'));
  select.value = name;
  select.dataset.previous = name;
}

function fillSettings(msg) {
  var projectLayers = Array.isArray(msg.layers) ? msg.layers.filter(function (n) { return typeof n === 'string'; }) : [];
  var mapping = isObject(msg.mapping) ? msg.mapping : {};
  var table = el('settingsRows');
  table.textContent = '';
  DATA_TYPES.forEach(function (entry) {
    var key = entry[0];
    var row = table.insertRow();
    row.insertCell().textContent = entry[1];
    var select = document.createElement('select');
    select.dataset.key = key;
    projectLayers.forEach(function (name) { addOption(select, name, name); });
    var mapped = typeof mapping[key] === 'string' ? mapping[key] : '';
    if (mapped !== '' && projectLayers.indexOf(mapped) < 0) addOption(select, mapped, mapped + ' (nowa)');
    addOption(select, NEW_LAYER_VALUE, '➕ nowa warstwa…');
    if (mapped !== '') select.value = mapped;
    select.dataset.previous = select.value;
    select.addEventListener('change', function () { onLayerChoice(select, key); });
    row.insertCell().appendChild(select);
  });
  el('settingsDialog').hidden = false;
}

function onSettingsSave() {
  var mapping = {};
  Array.prototype.forEach.call(el('settingsRows').querySelectorAll('select'), function (select) {
    if (select.value !== NEW_LAYER_VALUE) mapping[select.dataset.key] = select.value;
  });
  GISBridge.send('settingsChanged', { mapping: mapping });
  el('settingsDialog').hidden = true;
  // Saved only once the add-on says so; a refusal arrives as an error.
  setStatus('Zapisywanie ustawień…', false);
}
