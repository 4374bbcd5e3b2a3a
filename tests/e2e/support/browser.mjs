// Headless Chromium from the system, with a fresh profile that is removed afterwards.
import { chromium } from 'playwright-core';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';

const CHROMIUM = process.env.VISTREL_CHROMIUM || '/usr/bin/chromium';

export async function launchBrowser() {
  const profile = await mkdtemp(path.join(tmpdir(), 'vistrel-e2e-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  return {
    context,
    async close() {
      await context.close();
      await rm(profile, { recursive: true, force: true });
    },
  };
}

// Every script error of every frame of the page, for a test to assert none happened.
export function collectScriptErrors(page) {
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  return errors;
}
