// Installs the reference packages of package.json (beside this file, exact
// versions) into a temporary folder with `npm install` and returns a
// require() that loads from there. Nothing is installed into the source tree;
// the folder is removed when the process exits.
//
// QUORVO_FSRS_REFERENCE_DIR names a folder to install into and keep instead
// (bench/run.sh reuses one between runs).
import { execFileSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

export function installReferencePackages() {
  const keep = process.env.QUORVO_FSRS_REFERENCE_DIR;
  const folder = keep ? resolve(keep) : mkdtempSync(join(tmpdir(), 'quorvo-fsrs-reference-'));
  if (!keep) process.on('exit', () => rmSync(folder, { recursive: true, force: true }));
  mkdirSync(folder, { recursive: true });
  const ready = join(folder, 'node_modules', '.quorvo-installed');
  if (!existsSync(ready)) {
    copyFileSync(join(here, 'package.json'), join(folder, 'package.json'));
    execFileSync('npm', ['install', '--no-package-lock', '--no-audit', '--no-fund', '--loglevel=error'],
      { cwd: folder, stdio: ['ignore', 'ignore', 'inherit'] });
    execFileSync('touch', [ready]);
  }
  return createRequire(join(folder, 'package.json'));
}
