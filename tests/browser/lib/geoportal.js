'use strict';
// The local geoportal as a child process on a free loopback port.
const { spawn } = require('child_process');
const path = require('path');

const BIN = process.env.KL_BINARY_DIR || path.join(__dirname, '..', '..', '..', 'build');

function startGeoportal() {
  return new Promise((resolve, reject) => {
    const child = spawn(path.join(BIN, 'tools', 'geoportal', 'kartolink-geoportal'), [], { stdio: ['ignore', 'pipe', 'inherit'] });
    let out = '';
    const timer = setTimeout(() => reject(new Error('geoportal did not start')), 20000);
    child.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/Geoportal: (http:\/\/127\.0\.0\.1:\d+)/);
      if (m) {
        clearTimeout(timer);
        resolve({ base: m[1], close: () => child.kill('SIGTERM') });
      }
    });
    child.on('exit', (code) => reject(new Error('geoportal exited ' + code)));
  });
}

module.exports = { startGeoportal };
