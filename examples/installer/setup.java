// The demonstration installer: it only shows that it ran, by writing a file
// into its working directory and a line to its output.
public class setup {
    public static void main(String[] args) throws java.io.IOException {
        String text = "setup ran in " + System.getProperty("user.dir", "") + "\n";
        java.io.FileOutputStream out = new java.io.FileOutputStream("setup-ran.txt");
        out.write(text.getBytes());
        out.close();
        System.out.println("setup ran");
    }
}
