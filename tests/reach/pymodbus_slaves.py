"""A Modbus RTU line with several slaves, served by pymodbus (Debian's python3-pymodbus, 3.0): a
code of its own, independent of libmodbus and of the simulated module, for the command line to
read a bus from. Each slave holds registers 0..9 of its own; a request to an address no slave has
goes unanswered, as on a real line.

    pymodbus_slaves.py DEVICE ADDRESS...

Prints "serving" once the line is open, and each slave's registers as "ADDRESS: R0,R1,...,R9"."""
import asyncio
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


def registers(position, address):
    """Values no other slave holds: concentration, alarm state, range coefficient, range low and
    high, display calibration, alarm low and high, and the two registers after them."""
    return [500 + 37 * position + address, position % 2, 1 + position, 10 * address,
            3000 + position, 900 + address, 100 + position, 1800 + address, 0, position]


async def serve(device, addresses):
    slaves = {}
    for position, address in enumerate(addresses):
        values = registers(position, address)
        # zero_mode: register 0 of the request is the first value (no Modbus 1-based offset).
        slaves[address] = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, values),
                                             zero_mode=True)
        print(f'{address}: {",".join(map(str, values))}', flush=True)
    context = ModbusServerContext(slaves=slaves, single=False)
    server = await StartAsyncSerialServer(context=context, framer=ModbusRtuFramer, port=device,
                                          baudrate=9600, ignore_missing_slaves=True,
                                          defer_start=True)
    await server.start()
    print('serving', flush=True)
    await server.serve_forever()


if __name__ == '__main__':
    asyncio.run(serve(sys.argv[1], [int(word) for word in sys.argv[2:]]))
