// The favourites editor against the real program: the edit frame set and the
// history page served by the program itself post their forms back to it, and
// the Favorites folder changes as the report page says.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { existsSync } from 'node:fs';
import http from 'node:http';
import path from 'node:path';

import { collectScriptErrors, launchBrowser } from './support/browser.mjs';
import { BINARY, browseInHome, listTree, makeHome, shortcut, startProgram, tearDown, waitFor } from './support/program.mjs';

const REFRESH_WAIT_MS = 60000;

// A site on loopback whose one page has a title.
async function startTitledSite(title) {
  const server = http.createServer((request, response) => {
    response.writeHead(200, { 'Content-Type': 'text/html' });
    response.end(request.method === 'HEAD' ? undefined : `<html><head><title>${title}</title></head><body>site</body></html>`);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/page.htm`, close: () => new Promise((r) => server.close(r)) };
}

describe('favourites editor', { skip: !existsSync(BINARY) && `${BINARY} is missing` }, () => {
  let browser;
  let program;
  let site;
  let home;
  before(async () => {
    site = await startTitledSite('Suggested Site');
    // Nothing listens on the discard port: the probes end at once.
    const dead = 'http://127.0.0.1:9/';
    home = await makeHome({
      'Alpha.url': dead,
      'Beta.url': dead,
      'Gamma.url': dead,
      'Links/Keep.url': dead,
    });
    await browseInHome(home, site.url, 3);
    program = await startProgram(home);
    await waitFor(async () => {
      const edit = await (await fetch(program.base + 'edit.htm')).text();
      const history = await (await fetch(program.base + 'history.htm')).text();
      return edit.includes(`Edit${program.unique('Links/Keep.url')}`) && history.includes('Add to favourites');
    }, REFRESH_WAIT_MS, 'the first refresh to write the editing form and the history page').catch((error) => {
      throw new Error(`${error.message}; the program said: ${program.stderr()}`);
    });
    browser = await launchBrowser();
  });
  after(() => tearDown({ browser, program, site, home }));

  test('saving the edit page renames, moves and deletes, and reports each', async () => {
    const page = await browser.context.newPage();
    const errors = collectScriptErrors(page);
    await page.goto(program.base + 'editor.htm');
    const form = page.frame({ name: 'mymain' });
    await form.waitForSelector('form[name="myedit"]');
    await form.fill(`textarea[name="Edit${program.unique('Alpha.url')}"]`, 'Renamed Alpha');
    await form.selectOption(`select[name="Combo${program.unique('Beta.url')}"]`, 'Links');
    await form.check(`input[name="CB${program.unique('Gamma.url')}"]`);

    const footer = page.frame({ name: 'footer' });
    await Promise.all([
      form.waitForNavigation({ url: /cgifrm1\.exe$/ }),
      footer.click('input[name="B1"]'),
    ]);
    const report = await form.content();
    assert.match(report, /<title>Vistrel Reporter<\/title>/i);
    assert.match(report, /Your data has been recorded:/);
    // Three fields for each of the four links, and the one ticked box.
    assert.match(report, /there were 13 results from127\.0\.0\.1<br>Action taken : Renamed Favourite Alpha to Renamed Alpha<br>/);
    assert.match(report, /Moved Favourite Beta to \\Links\\<br>/);
    assert.match(report, /Deleted Favourite Gamma\.url from \\ folder<br>/);
    assert.deepEqual(await listTree(program.favoritesFolder),
      ['Links/Beta.url', 'Links/Keep.url', 'Renamed Alpha.URL']);
    assert.equal(await readFile(path.join(program.favoritesFolder, 'Renamed Alpha.URL'), 'utf8'),
      shortcut('http://127.0.0.1:9/'));
    const record = await readFile(path.join(program.programFolder, 'CgiFrm1.txt'), 'utf8');
    assert.match(record, /Renamed Favourite Alpha to Renamed Alpha<br>\r\nMoved Favourite Beta/);
    assert.deepEqual(errors, []);
  });

  test('"Add to favourites" on the history page adds the site under its title', async () => {
    const page = await browser.context.newPage();
    await page.goto(program.base + 'history.htm');
    await Promise.all([
      page.waitForNavigation({ url: /cgifrm2\.exe$/ }),
      page.click('input[type="submit"][value="Add to favourites"]'),
    ]);
    const report = await page.content();
    assert.match(report, /there were 1 results from127\.0\.0\.1<br>Action taken : Added Favourite Suggested Site <br>/);
    assert.equal(await readFile(path.join(program.favoritesFolder, 'Suggested Site.URL'), 'utf8'), shortcut(site.url));
  });
});
