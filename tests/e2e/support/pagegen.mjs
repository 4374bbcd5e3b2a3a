// Runs the program's page generation pass on a listing, through the
// vistrel_pagegen tool the build makes.
import { execFile } from 'node:child_process';
import { existsSync } from 'node:fs';
import { writeFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';

const here = path.dirname(fileURLToPath(import.meta.url));
export const PAGEGEN = process.env.VISTREL_PAGEGEN
  || path.resolve(here, '../../../build/tests/e2e/vistrel_pagegen');

export async function generatePages({ listing, dataFolder, port, perFolder = false }) {
  if (!existsSync(PAGEGEN)) {
    throw new Error(`${PAGEGEN} is missing: build the vistrel_pagegen target or set VISTREL_PAGEGEN`);
  }
  const listingFile = path.join(dataFolder, '..', 'listing-input.xml');
  await writeFile(listingFile, listing);
  const args = ['--port', String(port), ...(perFolder ? ['--per-folder'] : []), listingFile, dataFolder];
  const { stdout } = await promisify(execFile)(PAGEGEN, args);
  return stdout;
}
