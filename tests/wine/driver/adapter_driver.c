/* A kernel-mode driver that stands behind the test machines' adapters, for
 * the Windows-side tests only (never shipped, never installed by the
 * package).  It is registered as the KARBEND service in a throwaway Wine
 * prefix.
 *
 * It creates a control device; through it a test adds one device object
 * and one symbolic link per adapter, so that the device path SetupAPI gives
 * for the adapter's ports-class interface opens that device.  An adapter
 * device accepts create and close, and logs every device control request
 * (adapter, code, input length, the first input bytes, the status it
 * completed with); a test reads the log back, and can have an adapter
 * refuse requests with a status of its choosing. */
#include <ntddk.h>

#include "adapter_driver_protocol.h"

#define LINK_UNITS 260

enum device_kind { CONTROL_DEVICE, ADAPTER_DEVICE };

struct device_state {
    enum device_kind kind;
    ULONG index;
    NTSTATUS refusal;
    ULONG accept_first;
    UNICODE_STRING link;
    WCHAR link_buffer[LINK_UNITS];
};

static PDEVICE_OBJECT control_device;
static PDEVICE_OBJECT adapters[ADAPTER_DRIVER_MAX_ADAPTERS];
static LONG adapter_count;
static struct adapter_driver_request request_log[ADAPTER_DRIVER_MAX_REQUESTS];
static LONG logged;

static struct device_state* state_of(PDEVICE_OBJECT device) {
    return (struct device_state*)device->DeviceExtension;
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* "\Device\PortoptTestAdapterNN" for adapter `index` (two hex digits). */
static void adapter_device_name(ULONG index, WCHAR* name, USHORT units, UNICODE_STRING* out) {
    static const WCHAR base[] = L"\\Device\\PortoptTestAdapter";
    static const WCHAR digits[] = L"0123456789abcdef";
    USHORT n = 0;
    while (base[n] && n + 3 < units) {
        name[n] = base[n];
        ++n;
    }
    name[n++] = digits[(index >> 4) & 0xF];
    name[n++] = digits[index & 0xF];
    name[n] = 0;
    out->Buffer = name;
    out->Length = (USHORT)(n * sizeof(WCHAR));
    out->MaximumLength = (USHORT)((n + 1) * sizeof(WCHAR));
}

static PDEVICE_OBJECT find_adapter(const UNICODE_STRING* link) {
    LONG i;
    for (i = 0; i < adapter_count; ++i)
        if (RtlEqualUnicodeString(&state_of(adapters[i])->link, link, TRUE)) return adapters[i];
    return NULL;
}

static NTSTATUS add_adapter(PDRIVER_OBJECT driver, const void* input, ULONG length, ULONG* index) {
    UNICODE_STRING link, name;
    WCHAR name_buffer[64];
    PDEVICE_OBJECT device, existing;
    struct device_state* state;
    NTSTATUS status;

    if (length == 0 || length % sizeof(WCHAR) || length > (LINK_UNITS - 1) * sizeof(WCHAR))
        return STATUS_INVALID_PARAMETER;
    link.Buffer = (PWSTR)input;
    link.Length = link.MaximumLength = (USHORT)length;
    existing = find_adapter(&link);
    if (existing) {
        *index = state_of(existing)->index;
        return STATUS_SUCCESS;
    }
    if (adapter_count >= ADAPTER_DRIVER_MAX_ADAPTERS) return STATUS_INSUFFICIENT_RESOURCES;

    adapter_device_name((ULONG)adapter_count, name_buffer, 64, &name);
    /* Exclusive, as the adapters' own driver is: Windows refuses a second
     * open while one is held (Wine 8 ignores it). */
    status = IoCreateDevice(driver, sizeof(struct device_state), &name, FILE_DEVICE_UNKNOWN, 0,
                            TRUE, &device);
    if (!NT_SUCCESS(status)) return status;
    state = state_of(device);
    RtlZeroMemory(state, sizeof(*state));
    state->kind = ADAPTER_DEVICE;
    state->index = (ULONG)adapter_count;
    RtlCopyMemory(state->link_buffer, input, length);
    state->link.Buffer = state->link_buffer;
    state->link.Length = (USHORT)length;
    state->link.MaximumLength = sizeof(state->link_buffer);
    status = IoCreateSymbolicLink(&state->link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    adapters[adapter_count] = device;
    *index = state->index;
    ++adapter_count;
    return STATUS_SUCCESS;
}

static void reset(void) {
    LONG i;
    for (i = 0; i < adapter_count; ++i) {
        state_of(adapters[i])->refusal = STATUS_SUCCESS;
        state_of(adapters[i])->accept_first = 0;
    }
    logged = 0;
}

static NTSTATUS refuse(const void* input, ULONG length) {
    const struct adapter_driver_refusal* refusal = input;
    struct device_state* state;
    if (length != sizeof(*refusal) || refusal->adapter >= (ULONG)adapter_count)
        return STATUS_INVALID_PARAMETER;
    state = state_of(adapters[refusal->adapter]);
    state->refusal = refusal->status;
    state->accept_first = refusal->accept_first;
    return STATUS_SUCCESS;
}

static ULONG read_log(void* output, ULONG length) {
    ULONG count = (ULONG)logged;
    ULONG fits = length / sizeof(struct adapter_driver_request);
    if (count > fits) count = fits;
    RtlCopyMemory(output, request_log, count * sizeof(struct adapter_driver_request));
    return count * sizeof(struct adapter_driver_request);
}

static NTSTATUS control(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG index = 0;
    NTSTATUS status;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
        case ADAPTER_DRIVER_ADD:
            if (out < sizeof(index)) return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
            status = add_adapter(device->DriverObject, buffer, in, &index);
            if (!NT_SUCCESS(status)) return complete(irp, status, 0);
            RtlCopyMemory(buffer, &index, sizeof(index));
            return complete(irp, STATUS_SUCCESS, sizeof(index));
        case ADAPTER_DRIVER_RESET:
            reset();
            return complete(irp, STATUS_SUCCESS, 0);
        case ADAPTER_DRIVER_REFUSE:
            return complete(irp, refuse(buffer, in), 0);
        case ADAPTER_DRIVER_READ_LOG:
            return complete(irp, STATUS_SUCCESS, read_log(buffer, out));
        default:
            return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

/* A request to an adapter: logged, then accepted or refused. */
static NTSTATUS adapter_request(struct device_state* state, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    NTSTATUS status = STATUS_SUCCESS;
    LONG slot;

    if (state->refusal != STATUS_SUCCESS) {
        if (state->accept_first > 0)
            --state->accept_first;
        else
            status = state->refusal;
    }
    slot = InterlockedIncrement(&logged) - 1;
    if (slot < ADAPTER_DRIVER_MAX_REQUESTS) {
        struct adapter_driver_request* entry = &request_log[slot];
        ULONG kept = in < ADAPTER_DRIVER_KEPT_INPUT ? in : ADAPTER_DRIVER_KEPT_INPUT;
        RtlZeroMemory(entry, sizeof(*entry));
        entry->adapter = state->index;
        entry->code = stack->Parameters.DeviceIoControl.IoControlCode;
        entry->input_length = in;
        entry->status = status;
        if (kept) RtlCopyMemory(entry->input, irp->AssociatedIrp.SystemBuffer, kept);
    } else {
        InterlockedDecrement(&logged);
    }
    return complete(irp, status, 0);
}

static NTSTATUS NTAPI dispatch_control(PDEVICE_OBJECT device, PIRP irp) {
    struct device_state* state = state_of(device);
    if (state->kind == CONTROL_DEVICE) return control(device, irp);
    return adapter_request(state, irp);
}

static NTSTATUS NTAPI dispatch_open_close(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static VOID NTAPI unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    LONG i;
    (void)driver;
    for (i = 0; i < adapter_count; ++i) {
        IoDeleteSymbolicLink(&state_of(adapters[i])->link);
        IoDeleteDevice(adapters[i]);
    }
    adapter_count = 0;
    RtlInitUnicodeString(&link, ADAPTER_DRIVER_CONTROL_LINK);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(control_device);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    UNICODE_STRING name, link;
    NTSTATUS status;
    (void)registry_path;

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_control;
    driver->DriverUnload = unload;

    RtlInitUnicodeString(&name, ADAPTER_DRIVER_CONTROL_DEVICE);
    status = IoCreateDevice(driver, sizeof(struct device_state), &name, FILE_DEVICE_UNKNOWN, 0,
                            FALSE, &control_device);
    if (!NT_SUCCESS(status)) return status;
    RtlZeroMemory(state_of(control_device), sizeof(struct device_state));
    state_of(control_device)->kind = CONTROL_DEVICE;
    control_device->Flags |= DO_BUFFERED_IO;
    RtlInitUnicodeString(&link, ADAPTER_DRIVER_CONTROL_LINK);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) IoDeleteDevice(control_device);
    return status;
}
