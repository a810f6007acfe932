// A second TDS client for the listener: connects with tedious, runs a batch, cancels a long
// one and shows that the connection still works. Usage: node tedious_client.js PORT USER PASSWORD
const { Connection, Request } = require('tedious');

const [port, userName, password] = process.argv.slice(2);
// userName and password both as the versions before 4 take them and as later versions do.
const connection = new Connection({
  server: '127.0.0.1',
  userName,
  password,
  authentication: { type: 'default', options: { userName, password } },
  options: { port: Number(port), database: 'Bookshop', encrypt: false, connectTimeout: 10000, cancelTimeout: 5000 },
});
const fail = (what, err) => { console.error(what, err && (err.message || err)); process.exit(1); };
setTimeout(() => fail('timed out'), 45000).unref();

function batch(sql, onRow) {
  return new Promise((resolve, reject) => {
    const request = new Request(sql, (err, rowCount) => (err ? reject(err) : resolve(rowCount)));
    if (onRow) request.on('row', onRow);
    connection.execSqlBatch(request);
  });
}

connection.on('connect', async (err) => {
  if (err) fail('connect', err);
  try {
    let db = null;
    const rows = await batch("SELECT DB_NAME() AS db, NULL AS nothing", (columns) => { db = columns[0].value; });
    console.log('rows', rows, db);
    const long = batch("WAITFOR DELAY '00:00:30'");
    setTimeout(() => connection.cancel(), 300);
    try {
      await long;
      fail('the long batch was not cancelled');
    } catch (e) {
      if (e.code !== 'ECANCEL') fail('cancel', e);
      console.log('cancelled');
    }
    let answer = null;
    await batch('SELECT 42', (columns) => { answer = columns[0].value; });
    if (answer !== 42) fail('after cancel', answer);
    connection.close();
  } catch (e) {
    fail('batch', e);
  }
});
// Versions before 8 connect as soon as the connection is made.
if (Number(require('tedious/package.json').version.split('.')[0]) >= 8) connection.connect();
